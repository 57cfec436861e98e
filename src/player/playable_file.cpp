#include "playable_file.h"

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
    const mpeg::DecoderPtr decoder = mpeg::CreateDecoder();
    if (!decoder) return FileProblem::kNotReadable;
    MpegStream stream;
    return OpenMpegStream(*decoder, file, stream);
}

}  // namespace zirvak
