// Where the driver's CreateCopy puts the file it writes, all or nothing: a
// local file is written under a temporary name beside it and renamed over it
// once complete; any other output (a virtual file, an archive's member, a
// device) is opened only when the complete file is ready to be copied in.
#pragma once

#include <functional>
#include <string>

#include <cpl_error.h>

#include "ded/output.h"

// Writes a file to the output it is given (seekable or not); false with the
// reason in its error.
using DedOutputWrite = std::function<bool(const DedOutput &, std::string *)>;
// Looks at the file once it is in place; false with the reason in its error.
using DedOutputCheck = std::function<bool(std::string *)>;

// Makes the file at filename with write, then has check look at it. False,
// with the reason in error, when either or the output fails; then filename is
// left as it was: a file it named is kept, one it made is removed, and a
// device or a file it did not make is never removed; but a local file check
// refuses is removed, and one it replaced is gone (the driver's Delete has
// moved that aside). The same when write or check throws, which it passes on.
bool dedWriteOutput(const char *filename, const DedOutputWrite &write, const DedOutputCheck &check,
                    std::string *error);

// The driver's Delete: a local file is moved aside beside its name, to be put
// back when the CreateCopy that follows fails and removed otherwise (at the
// latest when the process ends); its .aux.xml and any other output are
// removed at once. CE_Failure after a CPLError when it cannot.
CPLErr DedDelete(const char *filename);

// Puts back what Delete moved aside from filename when nothing has that name
// now (the CreateCopy that followed wrote nothing), else removes it.
void dedSettleDeleted(const char *filename);
