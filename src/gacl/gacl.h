// The generic ACL layer in one include.
#pragma once

#include "gacl/acl.h"
#include "gacl/sort.h"
#include "gacl/system.h"
#include "gacl/text_in.h"
#include "gacl/text_out.h"
#include "gacl/vocab.h"
