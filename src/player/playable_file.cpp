#include "playable_file.h"

#include "format_table.h"
#include "input_file.h"

namespace zirvak {

FileProblem CheckPlayable(const std::string& path, std::string* detail) {
    InputFile file;
    const FileProblem opened = file.Open(path, detail);
    if (opened != FileProblem::kNone) return opened;
    const std::unique_ptr<AudioSource> source =
        FormatOf(file).makeSource(file, {0, kWholeStreamMs, false});
    // The source reads what the engine's run would. Short of memory now, the file may well
    // play when Open comes.
    const RunStart run = source->Start(std::nullopt);
    if (detail && run.problem != FileProblem::kNone) *detail = run.detail;
    return run.problem;
}

}  // namespace zirvak
