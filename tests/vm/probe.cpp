// vellumin-vm-probe: runs inside the test VM and sends single ATA commands through the Linux
// backend, printing what came back as key=value lines for the host to check against the disk
// images and the QEMU command line.
//
//   identify N                 IDENTIFY DEVICE: registers, model/serial/firmware, word 217
//   smart N                    SMART READ DATA: registers, vendor bytes 400-407
//   read N LBA SECTORS [ext]   READ DMA (EXT): result code, each sector's first 16 bytes
//   nondata N CMD FEATURES     a non-data command: all returned registers
//   dataout N CMD FEATURES     a 512-byte PIO data-out command (zero payload)
//   readloop N [flush|aligned] the whole disk in 253-sector READ DMA chunks through one buffer
//                              (and a flush after each, or page-aligned as the scan's), for the
//                              throughput breakdown
//   blockloop N                the whole disk in 253-sector O_DIRECT reads through the block
//                              layer (what dd does), timed in-process like readloop
//   sense N LBA CKCOND [pio]   READ DMA (or with pio IDENTIFY DEVICE) sent by hand, printing
//                              the raw SG_IO answer and the data's first bytes, so the bench
//                              shows which sense layout the kernel uses and what ck_cond does
//   hold N                     opens the disk exclusively (O_EXCL), as another program holding
//                              it would, prints held=1 and keeps it until killed

#include <fcntl.h>
#include <scsi/sg.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "ata/IdentifyBlock.h"
#include "transport/Transport.h"
#include "platform/linux/LinuxPlatform.h"
#include "platform/linux/SatPassThrough.h"

using namespace vellumin;

namespace vellumin::platform::linux_backend {

using ata::AtaPassThroughRequest;

namespace {

unsigned long Number(const char* text) { return std::strtoul(text, nullptr, 0); }

std::string Hex(const uint8_t* data, size_t size) {
    std::string out;
    char byte[3];
    for (size_t i = 0; i < size; ++i) {
        std::snprintf(byte, sizeof byte, "%02x", data[i]);
        out += byte;
    }
    return out;
}

void PrintRegisters(bool delivered, const ata::AtaPassThroughRequest& r) {
    const auto& t = r.currentTaskFile;
    std::printf("delivered=%d status=0x%02x error=0x%02x count=0x%02x lba=%02x%02x%02x device=0x%02x\n",
                delivered ? 1 : 0, t.status(), t.error(), t.sectorCount, t.lbaHigh, t.lbaMid,
                t.lbaLow, t.device);
}

ata::AtaPassThroughRequest DataIn(uint8_t command, uint8_t features, std::vector<uint8_t>& buffer) {
    ata::AtaPassThroughRequest r;
    r.flags = ata::ATA_FLAGS_DATA_IN;
    r.dataLength = static_cast<uint32_t>(buffer.size());
    r.dataBuffer = buffer.data();
    r.timeOutSeconds = 10;
    r.currentTaskFile.features = features;
    r.currentTaskFile.sectorCount = 1;
    r.currentTaskFile.device = 0xA0;
    r.currentTaskFile.command = command;
    return r;
}

int Identify(platform::DriveHandle& drive) {
    std::vector<uint8_t> buffer(512);
    auto r = DataIn(0xEC, 0, buffer);
    PrintRegisters(drive.PassThrough(r).delivered(), r);
    ata::IdentifyBlock block;
    std::copy(buffer.begin(), buffer.end(), block.begin());
    std::printf("model=%s|\n", ata::AtaString(block, 27, 20).c_str());
    std::printf("serial=%s|\n", ata::AtaString(block, 10, 10).c_str());
    std::printf("firmware=%s|\n", ata::AtaString(block, 23, 4).c_str());
    std::printf("word217=0x%04x\n", ata::Word(block, 217));
    auto sectors = drive.SectorCount();
    std::printf("sectors=%llu\n", sectors ? static_cast<unsigned long long>(*sectors) : 0ULL);
    return 0;
}

int Smart(platform::DriveHandle& drive) {
    std::vector<uint8_t> buffer(512, 0xEE);
    auto r = DataIn(0xB0, 0xD0, buffer);
    r.currentTaskFile.lbaMid = 0x4F;
    r.currentTaskFile.lbaHigh = 0xC2;
    PrintRegisters(drive.PassThrough(r).delivered(), r);
    std::printf("head=%s\nvendor400=%s\n", Hex(buffer.data(), 16).c_str(),
                Hex(buffer.data() + 400, 8).c_str());
    return 0;
}

int Read(platform::DriveHandle& drive, uint64_t lba, uint32_t sectors, bool ext) {
    std::vector<uint8_t> buffer(size_t{sectors} * 512, 0xEE);
    auto r = ext ? ata::ReadDmaExtRequest(lba, sectors * 512, buffer.data())
                 : ata::ReadDmaRequest(lba, sectors * 512, buffer.data());
    bool delivered = drive.PassThrough(r).delivered();
    PrintRegisters(delivered, r);
    std::printf("result=%d\n", ata::ReadResultCode(delivered, r.currentTaskFile));
    for (uint32_t i = 0; i < sectors; ++i) {
        std::printf("sector%u=%s\n", i, Hex(buffer.data() + size_t{i} * 512, 16).c_str());
    }
    return 0;
}

int Command(platform::DriveHandle& drive, uint8_t command, uint8_t features, bool dataOut) {
    std::vector<uint8_t> buffer(512, 0);
    ata::AtaPassThroughRequest r;
    r.flags = ata::ATA_FLAGS_DRDY_REQUIRED;
    if (dataOut) {
        r.flags = ata::ATA_FLAGS_DATA_OUT;
        r.dataLength = 512;
        r.dataBuffer = buffer.data();
        r.currentTaskFile.sectorCount = 1;
    }
    r.timeOutSeconds = 5;
    r.currentTaskFile.features = features;
    r.currentTaskFile.lbaMid = 0x4F;
    r.currentTaskFile.lbaHigh = 0xC2;
    r.currentTaskFile.device = 0xA0;
    r.currentTaskFile.command = command;
    PrintRegisters(drive.PassThrough(r).delivered(), r);
    return 0;
}

constexpr uint32_t kChunk = 253;

struct FreeDeleter {
    void operator()(void* p) const { std::free(p); }
};
using AlignedBuffer = std::unique_ptr<uint8_t, FreeDeleter>;

AlignedBuffer PageAligned(size_t bytes) {
    return AlignedBuffer(static_cast<uint8_t*>(std::aligned_alloc(4096, (bytes + 4095) / 4096 * 4096)));
}

void PrintRate(uint64_t chunks, uint64_t bytes, std::chrono::steady_clock::time_point start) {
    double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    std::printf("chunks=%llu\nseconds=%.3f\nmbps=%.2f\n", static_cast<unsigned long long>(chunks),
                seconds, bytes / seconds / 1e6);
}

int ReadLoop(platform::DriveHandle& drive, bool flush, bool aligned) {
    auto total = drive.SectorCount();
    if (!total) {
        return 4;
    }
    std::vector<uint8_t> vector(aligned ? 0 : kChunk * 512);
    AlignedBuffer page = aligned ? PageAligned(kChunk * 512) : nullptr;
    uint8_t* buffer = aligned ? page.get() : vector.data();
    auto start = std::chrono::steady_clock::now();
    uint64_t chunks = 0;
    for (uint64_t lba = 0; lba < *total; lba += kChunk, ++chunks) {
        uint32_t bytes = static_cast<uint32_t>(std::min<uint64_t>(kChunk, *total - lba) * 512);
        auto r = lba + kChunk <= ata::kLba28Limit ? ata::ReadDmaRequest(lba, bytes, buffer)
                                                  : ata::ReadDmaExtRequest(lba, bytes, buffer);
        bool delivered = drive.PassThrough(r).delivered();
        if (flush) {
            drive.Flush();
        }
        if (ata::ReadResultCode(delivered, r.currentTaskFile) != ata::kReadOk) {
            std::printf("failed_at=%llu\n", static_cast<unsigned long long>(lba));
            return 1;
        }
    }
    PrintRate(chunks, *total * 512, start);
    return 0;
}

int BlockLoop(int number) {
    std::string path = std::string("/dev/sd") + static_cast<char>('a' + number);
    int fd = ::open(path.c_str(), O_RDONLY | O_DIRECT);
    if (fd < 0) {
        std::printf("open=0\n");
        return 4;
    }
    AlignedBuffer buffer = PageAligned(kChunk * 512);
    auto start = std::chrono::steady_clock::now();
    uint64_t chunks = 0, bytes = 0;
    for (;;) {
        ssize_t got = ::pread(fd, buffer.get(), kChunk * 512, static_cast<off_t>(bytes));
        if (got < 0 && errno == EINTR) {
            continue;
        }
        if (got <= 0) {
            if (got < 0) {
                std::printf("failed_at=%llu\n", static_cast<unsigned long long>(bytes / 512));
            }
            break;
        }
        bytes += static_cast<uint64_t>(got);
        ++chunks;
    }
    ::close(fd);
    PrintRate(chunks, bytes, start);
    return 0;
}

int RawSense(int number, uint64_t lba, bool checkCondition, bool pio) {
    namespace lb = platform::linux_backend;
    std::string path = std::string("/dev/sd") + static_cast<char>('a' + number);
    int fd = ::open(path.c_str(), O_RDWR | O_NONBLOCK);
    if (fd < 0) {
        std::printf("open=0\n");
        return 4;
    }
    std::vector<uint8_t> buffer(512, 0xEE);
    auto r = ata::ReadDmaRequest(lba, 512, buffer.data());
    if (pio) {
        r = DataIn(0xEC, 0, buffer);
    }
    lb::Cdb16 cdb = lb::BuildCdb(r, lb::DataDirection::In);
    if (checkCondition) {
        cdb[2] |= 0x20;
    }
    uint8_t sense[64] = {};
    sg_io_hdr_t io{};
    io.interface_id = 'S';
    io.cmd_len = cdb.size();
    io.cmdp = cdb.data();
    io.mx_sb_len = sizeof sense;
    io.sbp = sense;
    io.dxfer_direction = SG_DXFER_FROM_DEV;
    io.dxfer_len = 512;
    io.dxferp = buffer.data();
    io.timeout = 20000;
    int rc = ::ioctl(fd, SG_IO, &io);
    ::close(fd);
    std::printf("ioctl=%d scsi=0x%02x host=0x%02x driver=0x%02x sense=%s\n", rc, io.status,
                io.host_status, io.driver_status, Hex(sense, io.sb_len_wr).c_str());
    lb::SgCompletion completion{rc == 0, io.status, io.host_status, io.driver_status,
                                std::span<const uint8_t>(sense, io.sb_len_wr)};
    auto registers = lb::ClassifyCompletion(completion);
    std::printf("decoded=%d status=0x%02x error=0x%02x\n", registers ? 1 : 0,
                registers ? registers->status : 0, registers ? registers->error : 0);
    std::printf("data=%s\n", Hex(buffer.data(), 16).c_str());
    return 0;
}

}  // namespace

}  // namespace vellumin::platform::linux_backend

int main(int argc, char** argv) {
    using namespace vellumin::platform::linux_backend;
    if (argc < 3) {
        std::fprintf(stderr, "usage: vellumin-vm-probe identify|smart|read|nondata|dataout|readloop|blockloop N ...\n");
        return 2;
    }
    std::string what = argv[1];
    if (what == "sense" && argc >= 5) {
        return RawSense(static_cast<int>(Number(argv[2])), Number(argv[3]),
                        std::string(argv[4]) == "1", argc > 5 && std::string(argv[5]) == "pio");
    }
    if (what == "blockloop") {
        return BlockLoop(static_cast<int>(Number(argv[2])));
    }
    if (what == "hold") {
        const std::string path = std::string("/dev/sd") + static_cast<char>('a' + Number(argv[2]));
        if (::open(path.c_str(), O_RDONLY | O_EXCL | O_CLOEXEC) < 0) {
            std::printf("held=0 errno=%d\n", errno);
            return 1;
        }
        std::printf("held=1\n");
        std::fflush(stdout);
        ::pause();
        return 0;
    }
    auto platform = platform::linux_backend::CreateLinuxPlatform();
    auto drive = platform->Drives().OpenPhysicalDrive(static_cast<int>(Number(argv[2])));
    if (!drive) {
        std::printf("open=0\n");
        return 4;
    }
    std::printf("open=1\n");
    if (what == "identify") {
        return Identify(*drive);
    }
    if (what == "smart") {
        return Smart(*drive);
    }
    if (what == "readloop") {
        std::string how = argc > 3 ? argv[3] : "";
        return ReadLoop(*drive, how == "flush", how == "aligned");
    }
    if (what == "read" && argc >= 5) {
        return Read(*drive, Number(argv[3]), static_cast<uint32_t>(Number(argv[4])),
                    argc > 5 && std::string(argv[5]) == "ext");
    }
    if ((what == "nondata" || what == "dataout") && argc >= 5) {
        return Command(*drive, static_cast<uint8_t>(Number(argv[3])),
                       static_cast<uint8_t>(Number(argv[4])), what == "dataout");
    }
    std::fprintf(stderr, "vellumin-vm-probe: bad arguments\n");
    return 2;
}
