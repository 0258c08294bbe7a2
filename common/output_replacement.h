// The safe replacement of an output. An output is never written in place:
// openReplacement() creates a temporary file in the output's folder, and
// commitReplacement() renames it over the output name only once every byte
// has been written, flushed and closed. Until then an existing file of that
// name stays as it was; an unfinished temporary file is removed when the
// program ends or is interrupted, and by the BinaryFile's destructor.
//
// A symbolic link keeps pointing where it did: the file it leads to is the
// one replaced, created when it does not exist yet. In a folder that is
// sticky and writable by all (as /tmp) a link is followed only when it
// belongs to the folder's owner or to the user running the program, as the
// kernel itself follows links there. An existing output that is no regular
// file (a device such as /dev/null, a named pipe) cannot be replaced and is
// written directly, and a name of an open descriptor (/dev/stdout,
// /dev/stderr, /dev/fd/N, /proc/self/fd/N) is written through that
// descriptor with its own flags, so that "> file" truncates and ">> file"
// appends.
//
// The replacement is flushed to the disk before it is renamed into place,
// and its folder after, so that a power loss leaves either the old file or
// the new one. It takes over the replaced file's permission bits, and its
// owner and group where permitted; it is a new file, so hard links to the old
// one keep the old content.
#pragma once

#include <string>

#include "binary_file.h"

// Opens the output for replacement. False, with the file's error set, when
// it cannot be written.
bool openReplacement(BinaryFile& file, const std::string& fileName);

// Whether an open output is written directly into its file (a device, a
// named pipe, a descriptor's file) instead of a temporary one.
bool writesInPlace(const BinaryFile& file);

// Flushes and closes an output, then renames it into place. Returns false,
// with the temporary file removed, when anything failed on the way.
bool commitReplacement(BinaryFile& file);

// Abandons an output: closes and removes the temporary file.
void discardReplacement(BinaryFile& file);
