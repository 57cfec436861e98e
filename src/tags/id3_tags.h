// ID3v2, APE and ID3v1 tags, as MPEG audio carries them and other formats borrow them (an
// ID3v2 tag in its own chunk or before the stream): each fills the fields still empty.
#pragma once

#include <apetag.h>
#include <id3v1tag.h>
#include <id3v2tag.h>

#include "read_only_file.h"
#include "song_tags.h"

namespace zirvak {

void ReadId3v2(const TagLib::ID3v2::Tag& tag, SongTags& out);
void ReadApe(const TagLib::APE::Tag& tag, SongTags& out);
void ReadId3v1(const TagLib::ID3v1::Tag& tag, SongTags& out);

// A file of MPEG audio: its ID3v2 tag (an extended header left out: extended_header.h), then
// its APE and ID3v1 tags, and the length TagLib finds.
void ReadId3AndApeFile(ReadOnlyFile& file, SongTags& out);

}  // namespace zirvak
