// Backing store of evicted memory pages: slot i holds 512 bytes at offset
// i * 512. The file is created exclusively under TMPDIR (else /tmp) with a
// unique name and unlinked at once, so it is private to this process and
// disappears with it whatever way the process ends.
#pragma once

#include <cstdint>
#include <string>

namespace vek {

constexpr uint32_t PageSize = 512;

class SwapStore {
public:
    virtual ~SwapStore() = default;
    // Both return false when the whole slot could not be transferred.
    virtual bool readslot(uint32_t slot, uint8_t* data) = 0;
    virtual bool writeslot(uint32_t slot, const uint8_t* data) = 0;
};

class SwapFile : public SwapStore {
public:
    SwapFile() = default;
    ~SwapFile() override;
    SwapFile(const SwapFile&) = delete;
    SwapFile& operator=(const SwapFile&) = delete;

    // Creates the file; false (and name() tells what was tried) on failure.
    bool open();
    bool isopen() const { return fd_ >= 0; }
    // Closes (and so deletes) the file; nothing when it was never opened.
    void close();
    const std::string& name() const { return name_; }

    bool readslot(uint32_t slot, uint8_t* data) override;
    bool writeslot(uint32_t slot, const uint8_t* data) override;

private:
    int fd_ = -1;
    std::string name_;
};

}  // namespace vek
