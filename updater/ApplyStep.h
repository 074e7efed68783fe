#pragma once

#include <string>
#include <string_view>

#include "framework/runtime/Errors.h"
#include "framework/runtime/Streams.h"

// The target carries the read-only attribute. The message is the path alone;
// the progress dialog puts it into its own text.
class EReadOnly : public Exception {
public:
    explicit EReadOnly(std::string_view path);
};

// Appends a resource of this program to the destination, inflated when it is
// a container. The destination must be able to change its size. When the
// resource cannot be read or inflated, the destination is left as it was.
void LoadPayload(TStream& destination, const char* name, const char* type);

// Raises EReadOnly when the file carries the read-only attribute. A file that
// cannot be queried (one that does not exist) passes: it will be created.
void CheckWritable(const std::string& path);

// Puts the whole content in place of the file at path, or creates the file.
// The content goes to a temporary file beside the target first, so that the
// old file stays whole until the new one is complete on disk; on failure the
// temporary file is removed and the target is untouched.
// Raises EFCreateError (with the target's path) when the temporary file
// cannot be created or the target cannot be replaced, EWriteError when
// writing fails.
void ReplaceExecutable(const std::string& path, TCustomMemoryStream& content);

// The replacement where the system has no MoveFileEx: the target is renamed
// aside, the source renamed to the target, the old one then deleted; a failed
// second rename puts the old target back. Returns false when the target was
// not replaced; the source then is still there.
bool ReplaceByRenaming(const std::string& source, const std::string& target);
