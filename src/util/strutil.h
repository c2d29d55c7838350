// Small string utilities shared by the whole program: null-tolerant copies,
// concatenation, bounded copies into fixed buffers, and the white-space test
// of the command line.
#pragma once

#include <cstddef>
#include <initializer_list>
#include <memory>

// An owned, terminated text; null stands for "none".
using str_ptr = std::unique_ptr<char[]>;

// A new copy of `s`; null for null (or, with errno ENOMEM, when memory runs out).
str_ptr str_dup(const char *s);

// A new copy of at most n characters of `s`; null for null.
str_ptr str_ndup(const char *s, size_t n);

// A new text joining the texts before the first null in `parts`; null when
// the first is null or memory runs out.   str_concat({path, "/", name})
str_ptr str_concat(std::initializer_list<const char *> parts);

// Bounded copies into a buffer of `size` bytes. They never write past it and
// always terminate it when size >= 1. A null source counts as empty.
// Result: characters copied (str_copy, str_copy_n) or the new length
// (str_append); -1 with errno EINVAL for a null destination, ERANGE for
// size 0, ENOMEM when the source did not fit (the truncated text stays).
int str_copy(char *dst, size_t size, const char *src);
int str_append(char *dst, size_t size, const char *src);
// Copies at most n characters, stopping at the source's end; ENOMEM when
// fewer than n were copied although the source went on. n = 0 gives "" and 0.
int str_copy_n(char *dst, size_t size, const char *src, size_t n);

// Reads a decimal integer the way sscanf reads "%d": leading white space and
// a sign allowed, text after the digits ignored; values beyond int are
// clamped. False when no digits follow.
bool str_to_int(const char *s, int *value);

// White space of the command line: the C locale's classes, never a byte of
// 0x80 or above.
bool str_is_space(int c);
