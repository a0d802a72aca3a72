#include "convert/picture/picture_writer.h"

#include <cerrno>
#include <new>
#include <string>

#include "convert/picture/picture.h"
#include "convert/picture/placeholder.h"
#include "convert/picture/png_file.h"
#include "convert/picture/view_bounds.h"

namespace quarlen {

namespace {

class PictureWriter final : public GroupWriter {
public:
    PictureWriter(Output& out, bool framed, const ViewBounds& b, int pixels) : out_(out), framed_(framed) {
        startPicture(picture_, b, pixels);
    }

    // Memory for the samples that runs out is told as the group's.
    GroupWritten group(const char*, const Group& g) override {
        if (framed_) drawGroup(picture_, g);
        return GroupWritten::done;
    }

    bool finishOutput(const char*) override {
        std::string png;
        try {
            png = pngFile(finishPicture(picture_));
        } catch (const std::bad_alloc&) {
        }
        if (png.empty()) {
            errno = ENOMEM;
            return false;
        }
        putBytes(out_, png.data(), png.size());
        return true;
    }

private:
    Output& out_;
    const bool framed_;  // the points' extent was read: groups can be drawn
    Picture picture_;
};

class Drawer final : public PictureDrawer {
public:
    Drawer(bool framed, const ViewBounds& b, int pixels) : framed_(framed), pixels_(pixels) {
        try {
            startPicture(picture_, b, pixels);
        } catch (const std::bad_alloc&) {
            framed_ = false;
        }
    }

    void group(const Group& g) override {
        if (!framed_) return;
        try {
            drawGroup(picture_, g);
        } catch (const std::bad_alloc&) {
            framed_ = false;
            picture_ = Picture{};  // its memory goes back; the placeholder stands
        }
    }

    Image finish() override {
        try {
            if (framed_) return finishPicture(picture_);
        } catch (const std::bad_alloc&) {
        }
        return placeholderImage(pixels_);
    }

private:
    bool framed_;  // the points' extent was read and memory held: groups are drawn
    const int pixels_;
    Picture picture_;
};

}  // namespace

std::unique_ptr<PictureDrawer> pictureDrawer(const char* path,
                                             const std::optional<std::span<const unsigned char>>& bytes, int pixels) {
    ViewBounds b;
    const bool framed = readViewBounds(path, bytes, pageView(), b);
    return std::make_unique<Drawer>(framed, b, pixels);
}

std::unique_ptr<GroupWriter> pictureWriter(Output& out, const char* path,
                                           const std::optional<std::span<const unsigned char>>& bytes, int pixels) {
    ViewBounds b;
    const bool framed = readViewBounds(path, bytes, pageView(), b);
    return std::make_unique<PictureWriter>(out, framed, b, pixels);
}

}  // namespace quarlen
