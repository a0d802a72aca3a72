// The traditional OBJ writer: group lines, point and texture-vertex lines,
// facets with global 1-based numbering, and the closing comment block.
// Lines end in CR LF on every host, and so does every LF byte inside a name.
#pragma once

#include <cstdint>
#include <memory>

#include "convert/format/group_writer.h"
#include "convert/obj/obj_lines.h"

namespace quarlen {

void writeGroupLine(Output& out, const char* name);

// Writes the points, texture vertices and facets of g on the caller's
// thread. False when a corner lies outside the vertex or texture index
// list; the line written so far, up to the last corner that was in range,
// stays in the output.
bool writeGroupBody(Output& out, const Group& g, Totals& t);

void writeClosing(Output& out, const Totals& t);

struct WriterPool;

// Bytes of text a chunk of `chunk` units may take.
size_t chunkTextBytes(uint32_t chunk);

// writeGroupBody with the body cut into chunks of about `chunk` units,
// formatted on the pool's threads (or, without a pool, one at a time), each
// into its part of `memory`: poolSlots(pool) x chunkTextBytes(chunk) bytes.
bool writeGroupBodySplit(WriterPool* pool, Output& out, const Group& g, Totals& t, uint32_t chunk, char* memory);

// The writer a run without output options uses. Large groups are formatted
// on `threads` threads, the caller's included (0: one per core, at most
// two), in chunks of `chunk` lines (0: the default).
std::unique_ptr<GroupWriter> traditionalWriter(Output& out, unsigned threads, uint32_t chunk);

}  // namespace quarlen
