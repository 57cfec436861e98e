// Ogg Vorbis files as a source, decoded by libvorbisfile (ogg_source.h says what every Ogg
// source does). Chained streams play on while their rate and channels stay the same.
#pragma once

#include <memory>

#include "ogg_source.h"

namespace zirvak {

class VorbisSource final : public OggSource {
public:
    explicit VorbisSource(InputFile& file);
    ~VorbisSource() override;

private:
    FileProblem OpenStream(std::string* detail) override;
    void CloseStream() override;
    bool SeekStream(uint64_t frame) override;
    Decoded ReadStream(int16_t* out, uint32_t frames, uint64_t firstFrame) override;
    int64_t Position() override;

    struct File;  // libvorbisfile's OggVorbis_File
    std::unique_ptr<File> vorbis_;
    int32_t rate_ = 0;
};

}  // namespace zirvak
