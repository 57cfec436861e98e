// Whether a run may go on reading its file. Once the file on disk changed (it was truncated or
// rewritten since it was opened) or a read came back short (it shrank), the run reads no more
// of it: it plays what it had read and ends as at the end of the song. Each source keeps one.
#pragma once

#include "input_file.h"

namespace zirvak {

class FileChangeWatch {
public:
    explicit FileChangeWatch(const InputFile& file) : file_(file) {}

    // A new run: the file is read again.
    void Restart() { changed_ = false; }
    // True when the run may read no more: asks the file on disk, unless that is known already.
    bool Changed() {
        if (!changed_ && file_.Changed()) changed_ = true;
        return changed_;
    }
    // A read came back short.
    void ReadCameShort() { changed_ = true; }
    // What is known without asking the disk.
    bool seen() const { return changed_; }

private:
    const InputFile& file_;
    bool changed_ = false;
};

}  // namespace zirvak
