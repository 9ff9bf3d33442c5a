// The checks that refuse HEIF structures before libheif decodes them, on
// files built box by box: coded items carry a real parameter set or
// sequence header (so their coded size can be read) and slice or frame
// units without picture data, which libheif would refuse later anyway.
#include "images/heif_checks.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

namespace {

std::string be(std::uint64_t value, int bytes) {
    std::string out;
    for (int i = bytes - 1; i >= 0; --i) out.push_back(static_cast<char>(value >> (8 * i)));
    return out;
}

std::string box(const char* type, const std::string& payload) {
    return be(payload.size() + 8, 4) + type + payload;
}
std::string fullBox(const char* type, int version, const std::string& payload) {
    return box(type, be(version, 1) + be(0, 3) + payload);
}

// Bits, most significant first, with HEVC's Exp-Golomb numbers.
class BitWriter {
public:
    void put(std::uint64_t value, int count) {
        for (int i = count - 1; i >= 0; --i) bits_.push_back(i < 64 && ((value >> i) & 1) != 0);
    }
    void ue(std::uint32_t value) {
        const std::uint64_t coded = std::uint64_t{value} + 1;
        int length = 0;
        while ((coded >> length) > 1) ++length;
        put(0, length);
        put(coded, length + 1);
    }
    std::string bytes() const {
        std::string out((bits_.size() + 7) / 8, '\0');
        for (std::size_t i = 0; i < bits_.size(); ++i)
            if (bits_[i]) out[i / 8] = static_cast<char>(out[i / 8] | (0x80 >> (i % 8)));
        return out;
    }

private:
    std::vector<bool> bits_;
};

std::string hvcC(std::uint32_t width, std::uint32_t height) {
    BitWriter sps;
    sps.put(0, 4);   // video parameter set
    sps.put(0, 3);   // no sub-layers
    sps.put(1, 1);
    sps.put(0, 96);  // profile, tier, level
    sps.ue(0);
    sps.ue(1);       // 4:2:0
    sps.ue(width);
    sps.ue(height);
    sps.put(0, 1);   // no conformance window
    sps.put(1, 1);   // stop bit
    const std::string nal = std::string("\x42\x01", 2) + sps.bytes();
    std::string config(21, '\0');
    config[0] = 1;
    config += '\x03';  // four-byte NAL lengths
    config += '\x01';  // one array
    config += '\x21';  // of sequence parameter sets
    config += be(1, 2) + be(nal.size(), 2) + nal;
    return box("hvcC", config);
}

std::string hevcPictures(int count) {
    std::string data;
    for (int i = 0; i < count; ++i) data += be(3, 4) + std::string("\x02\x01\x80", 3);  // a slice that starts a picture
    return data;
}

std::string av1Sequence(std::uint32_t width, std::uint32_t height) {
    BitWriter header;
    header.put(0, 3);  // profile
    header.put(1, 1);  // still picture
    header.put(1, 1);  // reduced header
    header.put(0, 5);  // level
    header.put(15, 4);
    header.put(15, 4);
    header.put(width - 1, 16);
    header.put(height - 1, 16);
    const std::string payload = header.bytes();
    return std::string("\x0A", 1) + be(payload.size(), 1) + payload;
}

std::string av1Frames(std::uint32_t width, std::uint32_t height, int count) {
    std::string data = av1Sequence(width, height);
    for (int i = 0; i < count; ++i) data += std::string("\x32\x01\x00", 3);  // a frame OBU
    return data;
}

struct Item {
    std::uint32_t id;
    std::string type;
    std::string data;
    std::vector<std::string> properties;  // whole property boxes
    int extents = 1;                      // how often iloc lists its data
};

struct Reference {
    const char* type;
    std::uint32_t from;
    std::vector<std::uint32_t> to;
};

std::string ispe(std::uint32_t width, std::uint32_t height) { return fullBox("ispe", 0, be(width, 4) + be(height, 4)); }
std::string pixi(int bits) { return fullBox("pixi", 0, be(1, 1) + be(bits, 1)); }
std::string irot(int quarterTurns) { return box("irot", be(quarterTurns, 1)); }
std::string imir() { return box("imir", be(0, 1)); }
std::string clap() { return box("clap", std::string(32, '\x01')); }
std::string alphaAux() { return fullBox("auxC", 0, std::string("urn:mpeg:hevc:2015:auxid:1") + '\0'); }
std::string gridData(int rows, int columns, std::uint32_t width, std::uint32_t height) {
    return be(0, 1) + be(0, 1) + be(rows - 1, 1) + be(columns - 1, 1) + be(width, 2) + be(height, 2);
}

// A file whose first item is primary; every item's data in one mdat.
std::string heifFile(const std::vector<Item>& items, const std::vector<Reference>& references) {
    std::string infe, ipco, ipma, iloc, mdat;
    int propertyCount = 0;
    const std::string ftyp = box("ftyp", std::string("heic") + be(0, 4) + "mif1heic");
    for (const Item& item : items) {
        infe += fullBox("infe", 2, be(item.id, 2) + be(0, 2) + item.type + '\0');
        ipma += be(item.id, 2) + be(item.properties.size(), 1);
        for (const std::string& property : item.properties) {
            ipco += property;
            ipma += be(++propertyCount, 1);
        }
    }
    std::string iref;
    for (const Reference& r : references) {
        std::string payload = be(r.from, 2) + be(r.to.size(), 2);
        for (std::uint32_t to : r.to) payload += be(to, 2);
        iref += box(r.type, payload);
    }
    // The meta box's size does not depend on the offsets, so it is built
    // twice: once to learn where mdat starts.
    auto meta = [&](std::uint64_t mdatStart) {
        std::string locations = be(0x44, 1) + be(0, 1) + be(items.size(), 2);
        std::uint64_t at = mdatStart + 8;
        for (const Item& item : items) {
            locations += be(item.id, 2) + be(0, 2) + be(item.extents, 2);
            for (int e = 0; e < item.extents; ++e) locations += be(at, 4) + be(item.data.size(), 4);
            at += item.data.size();
        }
        return fullBox("meta", 0,
                       fullBox("hdlr", 0, be(0, 4) + "pict" + std::string(12, '\0') + '\0') +
                           fullBox("pitm", 0, be(items.front().id, 2)) +
                           fullBox("iinf", 0, be(items.size(), 2) + infe) + fullBox("iref", 0, iref) +
                           box("iprp", box("ipco", ipco) + fullBox("ipma", 0, be(items.size(), 4) + ipma)) +
                           fullBox("iloc", 0, locations));
    };
    for (const Item& item : items) mdat += item.data;
    const std::uint64_t mdatStart = ftyp.size() + meta(0).size();
    return ftyp + meta(mdatStart) + box("mdat", mdat);
}

bool accepted(const std::string& file) {
    return heifStructureAcceptable(reinterpret_cast<const unsigned char*>(file.data()), file.size());
}

Item hevc(std::uint32_t id, std::uint32_t width, std::uint32_t height, std::vector<std::string> extra = {},
          int pictures = 1) {
    Item item{id, "hvc1", hevcPictures(pictures), {hvcC(width, height), ispe(width, height)}};
    item.properties.insert(item.properties.end(), extra.begin(), extra.end());
    return item;
}

Item av1(std::uint32_t id, std::uint32_t codedWidth, std::uint32_t declaredWidth, int frames) {
    return {id, "av01", av1Frames(codedWidth, 64, frames), {ispe(declaredWidth, 64)}};
}

Item grid(std::uint32_t id, int rows, int columns, std::uint32_t width, std::uint32_t height) {
    return {id, "grid", gridData(rows, columns, width, height), {ispe(width, height)}};
}

std::vector<std::uint32_t> repeated(std::uint32_t id, std::size_t count) { return std::vector<std::uint32_t>(count, id); }

}  // namespace

TEST(HeifStructureChecks, RefusedBeforeLibheifDecodes) {
    struct Row {
        const char* name;
        std::vector<Item> items;
        std::vector<Reference> references;
        bool accepted;
    };
    const Row table[] = {
        {"one hevc picture", {hevc(1, 64, 48)}, {}, true},
        {"eight pictures in one item", {hevc(1, 64, 48, {}, 8)}, {}, true},
        {"nine pictures in one item", {hevc(1, 64, 48, {}, 9)}, {}, false},
        {"coded larger than declared",
         {{1, "hvc1", hevcPictures(1), {hvcC(1024, 1024), ispe(64, 64)}}}, {}, false},
        {"declared after a quarter turn", {{1, "hvc1", hevcPictures(1), {hvcC(96, 64), ispe(64, 96), irot(1)}}}, {}, true},
        {"declared turned without a turn", {{1, "hvc1", hevcPictures(1), {hvcC(96, 64), ispe(64, 96)}}}, {}, false},
        {"av1 as declared", {av1(1, 96, 96, 1)}, {}, true},
        {"av1 coded wider", {av1(1, 128, 96, 1)}, {}, false},
        {"nine av1 frames", {av1(1, 96, 96, 9)}, {}, false},
        {"one of each transform", {hevc(1, 64, 48, {irot(1), imir(), clap()})}, {}, true},
        {"two rotations", {hevc(1, 64, 48, {irot(1), irot(1)})}, {}, false},
        {"two mirrors", {hevc(1, 64, 48, {imir(), imir()})}, {}, false},
        {"two crops", {hevc(1, 64, 48, {clap(), clap()})}, {}, false},
        {"grid covered by its tiles", {grid(1, 2, 2, 120, 90), hevc(2, 64, 48), hevc(3, 64, 48)},
         {{"dimg", 1, {2, 3, 3, 2}}}, true},
        {"grid wider than its tiles", {grid(1, 2, 2, 130, 90), hevc(2, 64, 48)}, {{"dimg", 1, repeated(2, 4)}}, false},
        {"grid tiles of two sizes", {grid(1, 1, 2, 120, 48), hevc(2, 64, 48), hevc(3, 56, 48)},
         {{"dimg", 1, {2, 3}}}, false},
        {"a tile decoded once per reference, 1024 in all", {grid(1, 32, 32, 512, 512), hevc(2, 16, 16)},
         {{"dimg", 1, repeated(2, 1024)}}, true},
        {"1056 references", {grid(1, 33, 32, 512, 528), hevc(2, 16, 16)}, {{"dimg", 1, repeated(2, 1056)}}, false},
        {"more pixels than two of the largest pictures", {grid(1, 1, 3, 16384, 16384), hevc(2, 16384, 16384)},
         {{"dimg", 1, repeated(2, 3)}}, false},
        {"identity over a grid",
         {{1, "iden", "", {ispe(64, 48)}}, grid(2, 1, 1, 64, 48), hevc(3, 64, 48)},
         {{"dimg", 1, {2}}, {"dimg", 2, {3}}}, true},
        {"identity over an identity over a grid",
         {{1, "iden", "", {ispe(64, 48)}}, {2, "iden", "", {ispe(64, 48)}}, grid(3, 1, 1, 64, 48), hevc(4, 64, 48)},
         {{"dimg", 1, {2}}, {"dimg", 2, {3}}, {"dimg", 3, {4}}}, false},
        {"tile alpha as its colour",
         {grid(1, 1, 1, 64, 48), hevc(2, 64, 48, {pixi(8)}), hevc(3, 64, 48, {pixi(8), alphaAux()})},
         {{"dimg", 1, {2}}, {"auxl", 3, {2}}}, true},
        {"tile alpha of another size",
         {grid(1, 1, 1, 64, 48), hevc(2, 64, 48), hevc(3, 32, 24, {alphaAux()})},
         {{"dimg", 1, {2}}, {"auxl", 3, {2}}}, false},
        {"tile alpha of another depth",
         {grid(1, 1, 1, 64, 48), hevc(2, 64, 48, {pixi(8)}), hevc(3, 64, 48, {pixi(10), alphaAux()})},
         {{"dimg", 1, {2}}, {"auxl", 3, {2}}}, false},
        {"overlay input alpha of another size",
         {{1, "iovl", std::string(4, '\0') + be(64, 2) + be(48, 2) + be(0, 4), {ispe(64, 48)}}, hevc(2, 64, 48),
          hevc(3, 16, 16, {alphaAux()})},
         {{"dimg", 1, {2}}, {"auxl", 3, {2}}}, false},
        {"primary alpha with nine pictures", {hevc(1, 64, 48), hevc(2, 64, 48, {alphaAux()}, 9)},
         {{"auxl", 2, {1}}}, false},
        {"data listed twice, within the file", {{1, "hvc1", hevcPictures(1), {hvcC(64, 48), ispe(64, 48)}, 2}},
         {}, true},
        {"data listed until it outgrows the file",
         {{1, "hvc1", hevcPictures(1), {hvcC(64, 48), ispe(64, 48)}, 4000}}, {}, false},
    };
    for (const Row& row : table) {
        SCOPED_TRACE(row.name);
        EXPECT_EQ(accepted(heifFile(row.items, row.references)), row.accepted);
    }
}

TEST(HeifStructureChecks, DamagedStructuresAreLeftToLibheif) {
    const std::string whole = heifFile({hevc(1, 64, 48, {irot(1), irot(1)})}, {});
    ASSERT_FALSE(accepted(whole));
    // A parameter set or sequence header cut short says no size.
    std::string shortSps = hvcC(64, 48);
    shortSps.resize(8 + 23 + 5 + 6);  // the NAL's first bytes only
    shortSps.replace(8 + 23 + 3, 2, be(6, 2));
    shortSps.replace(0, 4, be(shortSps.size(), 4));
    EXPECT_TRUE(accepted(heifFile({{1, "hvc1", hevcPictures(1), {shortSps, ispe(1024, 1024)}}}, {})));
    std::string shortSequence = av1Frames(96, 64, 1);
    shortSequence[1] = 2;  // the header's size: two bytes of it
    EXPECT_TRUE(accepted(heifFile({{1, "av01", shortSequence, {ispe(1024, 1024)}}}, {})));
    // Every cut: never a crash; no meta box at all is libheif's to refuse.
    for (std::size_t size = 0; size < whole.size(); ++size) accepted(whole.substr(0, size));
    EXPECT_TRUE(accepted(std::string("\0\0\0\x10" "ftypheic\0\0\0\0", 16)));
}
