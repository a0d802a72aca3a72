// Reading the groups of an RSR file in field order, with the test each
// field needs.
#include "convert/format/rsr.h"

namespace quarlen {

namespace {

// A count for which no block is ever asked of the heap: negative, or more
// bytes than a 32-bit size can say.
bool hopeless(int32_t count, uint32_t size) { return count < 0 || uint64_t(count) * size > UINT32_MAX; }

// A count whose data cannot be in what is left of the input. Its reads
// would meet the end of the file, so nothing is allocated for it.
bool pastEnd(const Input& in, int32_t count, uint32_t fileBytesPerItem) {
    const int64_t left = bytesLeft(in);
    return left >= 0 && int64_t(count) * fileBytesPerItem > left;
}

// One array of a group: its count's name, the size of an item in memory as
// the heap was asked for it, and in the file.
struct ArrayField {
    const char* name;
    uint32_t size, fileBytes;
    int asks;  // blocks asked of the heap for it, each of count x size bytes
};

constexpr ArrayField points_field{"np", 4, 12, 3};  // x, y and z asked for in turn
constexpr ArrayField vertex_list_field{"nq", 4, 4, 1};
constexpr ArrayField faces_field{"nf", face_size, face_size, 1};
constexpr ArrayField tex_field{"nt", 4, 8, 1};  // u is refused before v is asked for
constexpr ArrayField tex_list_field{"nq2", 4, 4, 1};
constexpr ArrayField tex_faces_field{"nf2", face2_size, face2_size, 1};
constexpr ArrayField materials_field{"nm", material_size, material_size, 1};

ReadFailure endOfFile() { return {ReadFailure::end_of_file}; }

// Reads an array's count (0 without reading when absent), then takes its
// bytes, or skips them. An array cut short by the end of the file fails
// only when checkEof says so.
ReadFailure readArray(Input& in, const ArrayField& f, int32_t& count, Piece& at, bool present = true,
                      bool checkEof = true, bool skip = false) {
    count = present ? Getl(in) : 0;
    if (in.eof) return endOfFile();
    const bool noBlock = hopeless(count, f.size);
    if (!noBlock && pastEnd(in, count, f.fileBytes)) return endOfFile();
    const uint64_t n = uint64_t(count) * f.fileBytes;
    const Take took = noBlock ? Take::no_memory : skip ? skipBytes(in, n) : takeBytes(in, n, at);
    if (took == Take::no_memory) return {ReadFailure::no_memory, f.name, count, f.asks};
    if (took == Take::short_read && checkEof && in.eof) return endOfFile();
    return {};
}

}  // namespace

void readHeader(Input& in) {
    unsigned char header[header_size];
    readBytes(in, header, sizeof header);
}

void readTrailer(Input& in) {
    unsigned char trailer[trailer_size];
    readBytes(in, trailer, sizeof trailer);
}

GroupStart readGroupStart(Input& in, int32_t& length, char (&name)[max_name_length + 1]) {
    length = Getl(in);
    if (in.eof) return GroupStart::end_of_file;
    if (length == 0) return GroupStart::end_marker;
    if (length < 0 || length > max_name_length) return GroupStart::bad_length;
    std::memset(name, 0, sizeof name);
    readBytes(in, name, size_t(length));
    return in.eof ? GroupStart::end_of_file : GroupStart::group;
}

ReadFailure readGroupBody(Input& in, Group& g, bool pointsOnly) {
    Piece xyz, pf, fac, uv, pt, fac2, mats;
    ReadFailure f;
    const bool s = pointsOnly;
    if ((f = readArray(in, points_field, g.np, xyz)).kind) return f;
    if ((f = readArray(in, vertex_list_field, g.nq, pf, true, true, s)).kind) return f;
    // The facets are checked for the end of the file after texq.
    if ((f = readArray(in, faces_field, g.nf, fac, true, false, s)).kind) return f;
    const bool texq = Getl(in) != 0;
    if (in.eof) return endOfFile();
    if ((f = readArray(in, tex_field, g.nt, uv, texq, true, s)).kind) return f;
    if ((f = readArray(in, tex_list_field, g.nq2, pt, texq, true, s)).kind) return f;
    if ((f = readArray(in, tex_faces_field, g.nf2, fac2, texq, true, s)).kind) return f;
    if ((f = readArray(in, materials_field, g.nm, mats, true, true, s)).kind) return f;
    // Held memory may have moved while the group was read.
    g.xyz = pieceAt(in, xyz);
    if (pointsOnly) return {};
    g.pf = pieceAt(in, pf);
    g.fac = pieceAt(in, fac);
    g.uv = pieceAt(in, uv);
    g.pt = pieceAt(in, pt);
    g.fac2 = pieceAt(in, fac2);
    g.mats = pieceAt(in, mats);
    return {};
}

}  // namespace quarlen
