// The program's version: one number, compared for equality with the version
// the provider publishes, and written into the version resource and the name
// of the release package (tools/package.sh reads it here). A plain macro: the
// resource compiler reads this file too.
#pragma once

#define QARVEX_VERSION 1
