#!/bin/sh
set -eu
"$1" help
