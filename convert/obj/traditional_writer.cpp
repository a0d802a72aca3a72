#include "convert/obj/traditional_writer.h"

#include <cstdlib>

#include "convert/obj/writer_pool.h"

namespace quarlen {

void writeGroupLine(Output& out, const char* name) {
    char* p = room(out, 2 + 2 * max_name_length + 2);
    done(out, putEnd(putName(putText(p, "g ", 2), name, max_name_length)));
}

bool writeGroupBody(Output& out, const Group& g, Totals& t) {
    OutputSink sink{out};
    putFloatLines(sink, g.xyz, 0, g.np, true);
    putFloatLines(sink, g.uv, 0, g.nt, false);
    FacetState st{-1, t.Nq};
    bool ok = true;
    for (int32_t j = 0; j < g.nf && ok; ++j) ok = putFacet(sink, g, t, FacetPiece{j}, st);
    t.Nq = st.nqMax;
    return ok;
}

void writeClosing(Output& out, const Totals& t) { done(out, putClosing(room(out, closing_text_max), t, false)); }

namespace {

class TraditionalWriter final : public GroupWriter {
public:
    TraditionalWriter(Output& out, unsigned threads, uint32_t chunk) : out_(out), pool_(threads, chunk) {}
    ~TraditionalWriter() override { std::free(chunkMemory_); }

    GroupWritten group(const char* name, const Group& g) override {
        writeGroupLine(out_, name);
        if (!writeBody(g)) return GroupWritten::bad_value;
        t_.dv = wrapAdd(t_.dv, g.np);
        t_.dt = wrapAdd(t_.dt, g.nt);
        t_.Nf = wrapAdd(t_.Nf, g.nf);
        return GroupWritten::done;
    }
    void failedGroupLine(const char* name) override { writeGroupLine(out_, name); }
    void closing() override { writeClosing(out_, t_); }

private:
    // On several threads when the group is large enough to pay; the memory
    // for the chunks comes with the pool.
    bool writeBody(const Group& g) {
        WriterPool* pool = noMemory_ ? nullptr : pool_.forGroup(g);
        if (pool && !chunkMemory_) {
            chunkMemory_ = static_cast<char*>(std::malloc(poolSlots(pool) * chunkTextBytes(pool_.chunk())));
            noMemory_ = !chunkMemory_;
        }
        if (!pool || noMemory_) return writeGroupBody(out_, g, t_);
        return writeGroupBodySplit(pool, out_, g, t_, pool_.chunk(), chunkMemory_);
    }

    Output& out_;
    Totals t_;
    GroupPool pool_;
    char* chunkMemory_ = nullptr;
    bool noMemory_ = false;  // the chunks' memory could not be had
};

}  // namespace

std::unique_ptr<GroupWriter> traditionalWriter(Output& out, unsigned threads, uint32_t chunk) {
    return std::make_unique<TraditionalWriter>(out, threads, chunk);
}

}  // namespace quarlen
