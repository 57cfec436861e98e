// The walk through an MP4 file's boxes: 32- and 64-bit sizes, a box that runs to the end, a
// full box's version and flags stepped over, and sizes that lie (past the parent or the file,
// smaller than the header) ending the walk where they stand instead of reading beyond.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "memory_source.h"
#include "mp4_boxes.h"
#include "player_fixtures.h"

namespace zirvak::test {
namespace {

void PutBigEndian(Bytes& out, uint64_t value, int bytes) {
    for (int i = bytes - 1; i >= 0; --i) out.push_back(uint8_t(value >> (8 * i)));
}

// A box of `type` holding `body`, with a 32-bit size, or 1 and a 64-bit size.
Bytes Box(const std::string& type, const Bytes& body, bool large = false) {
    Bytes out;
    PutBigEndian(out, large ? 1 : body.size() + 8, 4);
    for (const char c : type) out.push_back(uint8_t(c));
    if (large) PutBigEndian(out, body.size() + 16, 8);
    for (const uint8_t b : body) out.push_back(b);
    return out;
}

std::vector<std::string> TypesOf(Mp4BoxWalk walk) {
    std::vector<std::string> types;
    while (const std::optional<Mp4Box> box = walk.Next()) {
        std::string type;
        for (int shift = 24; shift >= 0; shift -= 8) type += char(box->type >> shift);
        types.push_back(type);
    }
    return types;
}

TEST(Mp4Boxes, TheWalkFindsEachBoxAndItsContents) {
    const Bytes stsd = Box("stsd", Bytes(12, 0x11));
    const Bytes file = Concat({Box("ftyp", Bytes(8, 'M')),
                               Box("moov", Concat({Box("mvhd", Bytes(20, 0)), Box("trak", stsd)})),
                               Box("mdat", Bytes(40, 0xAA), /*large=*/true)});
    MemorySource source(file);
    EXPECT_EQ(TypesOf(Mp4BoxWalk(source, 0, file.size())),
              (std::vector<std::string>{"ftyp", "moov", "mdat"}));

    const std::optional<Mp4Box> moov = FindBox(source, 0, file.size(), BoxType("moov"));
    ASSERT_TRUE(moov.has_value());
    EXPECT_EQ(moov->start, 16u);
    EXPECT_EQ(moov->body, 24u);
    EXPECT_EQ(TypesOf(Mp4BoxWalk(source, *moov)), (std::vector<std::string>{"mvhd", "trak"}));
    const std::optional<Mp4Box> trak = FindChild(source, *moov, BoxType("trak"));
    ASSERT_TRUE(trak.has_value());
    const std::optional<Mp4Box> inner = FindChild(source, *trak, BoxType("stsd"));
    ASSERT_TRUE(inner.has_value());
    EXPECT_EQ(inner->bodySize(), 12u);
    EXPECT_FALSE(FindChild(source, *moov, BoxType("udta")).has_value());

    const std::optional<Mp4Box> mdat = FindBox(source, 0, file.size(), BoxType("mdat"));
    ASSERT_TRUE(mdat.has_value());
    EXPECT_EQ(mdat->body - mdat->start, 16u);  // the 64-bit size's header
    EXPECT_EQ(mdat->bodySize(), 40u);
    EXPECT_EQ(mdat->end, file.size());
}

// `meta` begins with a version and flags before its children.
TEST(Mp4Boxes, AFullBoxsChildrenFollowItsVersionAndFlags) {
    const Bytes meta = Box(
        "meta", Concat({Bytes{0, 0, 0, 0}, Box("hdlr", Bytes(4, 0)), Box("ilst", Bytes(3, 0))}));
    MemorySource source(meta);
    const std::optional<Mp4Box> box = ReadBox(source, 0, meta.size());
    ASSERT_TRUE(box.has_value());
    EXPECT_EQ(TypesOf(Mp4BoxWalk(source, *box, 4)), (std::vector<std::string>{"hdlr", "ilst"}));
    EXPECT_TRUE(FindChild(source, *box, BoxType("ilst"), 4).has_value());
    // A skip past the box's end finds nothing rather than reading after it.
    EXPECT_FALSE(FindChild(source, *box, BoxType("ilst"), 1000).has_value());
}

// Sizes that lie end the walk at the box that tells them; what came before is still found.
TEST(Mp4Boxes, ASizeThatLiesEndsTheWalkThere) {
    const Bytes good = Box("free", Bytes(4, 0));
    const auto sized = [](uint64_t size, const std::string& type, size_t bodyBytes) {
        Bytes out;
        PutBigEndian(out, size, 4);
        for (const char c : type) out.push_back(uint8_t(c));
        for (size_t i = 0; i < bodyBytes; ++i) out.push_back(0);
        return out;
    };
    Bytes large = Box("mdat", Bytes(8, 0), /*large=*/true);
    large.resize(12);  // a 64-bit size cut off
    const struct {
        const char* what;
        Bytes tail;
        std::vector<std::string> types;
    } cases[] = {
        {"a size past the file", sized(1000, "moov", 8), {"free"}},
        {"a size smaller than the header", sized(7, "moov", 8), {"free"}},
        {"a header cut off", Bytes{0, 0, 0}, {"free"}},
        {"a 64-bit size cut off", large, {"free"}},
        {"a box that runs to the end", sized(0, "mdat", 9), {"free", "mdat"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        const Bytes file = Concat({good, c.tail});
        MemorySource source(file);
        EXPECT_EQ(TypesOf(Mp4BoxWalk(source, 0, file.size())), c.types);
    }
    // A child whose size runs past its parent, though not past the file.
    const Bytes nested = Concat({Box("moov", sized(40, "trak", 4)), Bytes(64, 0)});
    MemorySource source(nested);
    const std::optional<Mp4Box> moov = ReadBox(source, 0, nested.size());
    ASSERT_TRUE(moov.has_value());
    EXPECT_TRUE(TypesOf(Mp4BoxWalk(source, *moov)).empty());
}

}  // namespace
}  // namespace zirvak::test
