// SPDX-License-Identifier: MIT
#pragma once
// The process's standard descriptors as it found them when it started.

// Opens whichever of descriptors 0, 1 and 2 is closed on /dev/null, so that no file the
// program opens later takes that number and receives what was meant for standard output.
// Called first thing in main(), before anything can open a file.
void OpenMissingStandardDescriptors();

// True when descriptor fd (0, 1 or 2) was closed when the program started.
[[nodiscard]] bool StandardDescriptorWasClosed(int fd);
