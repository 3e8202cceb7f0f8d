#pragma once
// The bytes of a DVD-Video image in order: the metadata sectors from memory,
// each VIDEO_TS file read in large blocks only when the reader reaches it,
// zeros for padding. One file is open at a time and one block is buffered,
// whatever the image's size.

#include "recorder/ImageStream.h"
#include "recorder/dvdvideo/ImagePlan.h"
#include "recorder/dvdvideo/MetadataSectors.h"

#include <vector>

class DvdVideoStream : public ImageStream {
public:
    static constexpr size_t kBlockBytes = 1 << 20;
    // Requests at least this large are read from the file straight into the
    // reader's buffer; smaller ones are served from one block read.
    static constexpr size_t kDirectBytes = 1 << 16;

    // plan and metadata must outlive the stream.
    DvdVideoStream(const ImagePlan& plan, const MetadataSectors& metadata, std::string sourceFolder);
    ~DvdVideoStream() override;
    DvdVideoStream(const DvdVideoStream&) = delete;
    DvdVideoStream& operator=(const DvdVideoStream&) = delete;

    int64_t Size() const override;
    int64_t Read(unsigned char* buffer, int64_t size) override;
    std::string Error() const override { return error_; }
    std::string VolumeLabel() const override { return plan_.volume.label; }
    std::string SourceFolder() const override { return sourceFolder_; }

    // Back to byte 0, no file open, no failure.
    void Rewind();

private:
    // Each produces bytes at position_ and returns the count, or -1.
    int64_t ReadMetadata(unsigned char* buffer, int64_t size);
    int64_t ReadZone(unsigned char* buffer, int64_t size);
    int64_t ReadFile(const PlacedFile& file, int64_t offset, unsigned char* buffer, int64_t size);
    bool OpenFile(const PlacedFile& file);
    bool FillFromFile(const PlacedFile& file, unsigned char* buffer, int64_t size);
    bool FinishFile(const PlacedFile& file);
    void CloseFile();
    int64_t Fail(const std::string& text);

    const ImagePlan& plan_;
    const MetadataSectors& metadata_;
    std::string sourceFolder_;
    int64_t position_ = 0;
    size_t fileIndex_ = 0;
    int fd_ = -1;
    int64_t fileRead_ = 0; // bytes of the open file taken from it so far
    std::vector<unsigned char> block_;
    size_t blockStart_ = 0;
    size_t blockEnd_ = 0;
    std::string error_;
};
