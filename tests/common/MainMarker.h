// The line that every test and benchmark main() prints as its very first
// statement. scripts/wine-exec looks for it: a program that failed without
// it never reached main(), and only then may Wine itself be to blame.
#pragma once

#define VX_MAIN_MARKER "vx-main-entered"
