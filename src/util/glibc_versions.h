// Force-included into every source of the release agent (CMake option
// QZ_RELEASE), never into the developer build.
//
// The release is built against the build root's glibc (Debian 11: 2.31) but
// must start on glibc 2.28 (RHEL 8). glibc 2.29 gave exp, exp2, log, log2 and
// pow new symbol versions (new code without the old error handling), and a
// call compiled against 2.29 or later binds to those, so the loader of an
// older glibc refuses the program ("GLIBC_2.29 not found"). These directives
// bind our calls to the versions every x86_64 glibc has; the results are the
// same for every argument the agent passes. The release test
// (tests/release/release_test.sh) fails on any symbol newer than 2.28 that
// is not caught here.
#pragma once

#if defined(__linux__) && defined(__x86_64__)
__asm__(".symver exp,exp@GLIBC_2.2.5");
__asm__(".symver exp2,exp2@GLIBC_2.2.5");
__asm__(".symver log,log@GLIBC_2.2.5");
__asm__(".symver log2,log2@GLIBC_2.2.5");
__asm__(".symver pow,pow@GLIBC_2.2.5");
#endif
