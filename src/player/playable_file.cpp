#include "playable_file.h"

#include "audio_source_factory.h"
#include "input_file.h"
#include "mpeg_decoder.h"
#include "mpeg_stream.h"
#include "wav_file.h"

namespace zirvak {

FileProblem CheckPlayable(const std::string& path, std::string* detail) {
    InputFile file;
    const FileProblem opened = file.Open(path, detail);
    if (opened != FileProblem::kNone) return opened;
    if (LooksLikeWav(file)) {
        WavInfo wav;
        return ReadWavHeader(file, wav, detail);
    }
    if (const std::unique_ptr<AudioSource> source = MakeCompressedSource(file)) {
        // FLAC and Ogg: their source reads what the engine's run would. Short of memory now,
        // the file may well play when Open comes.
        const RunStart run = source->Start(std::nullopt);
        if (detail && run.problem != FileProblem::kNone) *detail = run.detail;
        return run.problem;
    }
    const mpeg::DecoderPtr decoder = mpeg::CreateDecoder();
    if (!decoder) return FileProblem::kNotReadable;
    MpegStream stream;
    return OpenMpegStream(*decoder, file, stream);
}

}  // namespace zirvak
