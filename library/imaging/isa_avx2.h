// Included by every file compiled with AVX2 enabled: a file built without
// the flag would silently lose its variant, so it fails to build instead.
#pragma once

#if !defined(__AVX2__)
#error "this file must be compiled with AVX2 enabled"
#endif

#include <immintrin.h>
