// Mutation fuzzer of the DLL's image decoders (docs/reliability.md).
//
//   rastelle_decoder_fuzzer.exe [--seed S] [--mutants N] [--limit SECONDS] [--growth MB] [--trace]
//                               [--save N PATH]
//
// The embedded seeds (resource type SEED) and former failures (REGRESSION) as
// they are, then N mutants of the seeds, each through LoadFile, LoadStream and
// LoadMultiframeImage. A fault is a crash, a call over --limit seconds, a
// failure without an HRESULT and text, an image whose size or corners cannot be
// read, or, unless the platform's own loads do the same, a file left open or
// private bytes grown by over --growth MB. --save N PATH writes mutant N only.
#include "fuzz_support.h"

#include <gdiplus.h>
#include <psapi.h>
#include <shlwapi.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <random>

namespace {

using namespace rastelle::fuzz;
using Bytes = std::vector<std::uint8_t>;

struct Input {
    std::string name;
    Bytes bytes;
};

BOOL CALLBACK CollectResource(HMODULE module, LPCWSTR type, LPWSTR name, LONG_PTR target) {
    HRSRC found = FindResourceW(module, name, type);
    if (const auto* data = found ? static_cast<const std::uint8_t*>(LockResource(LoadResource(module, found))) : nullptr)
        reinterpret_cast<std::vector<Input>*>(target)->push_back(
            {IS_INTRESOURCE(name) ? "" : Narrow(name), Bytes(data, data + SizeofResource(module, found))});
    return TRUE;
}

std::vector<Input> Embedded(const wchar_t* type) {
    std::vector<Input> inputs;
    EnumResourceNamesW(nullptr, type, &CollectResource, reinterpret_cast<LONG_PTR>(&inputs));
    return inputs;
}

class Mutator {
public:
    explicit Mutator(std::uint32_t seed) : random_(seed) {}

    std::uint32_t Below(std::size_t n) { return n == 0 ? 0 : static_cast<std::uint32_t>(random_() % n); }

    // One or more mutations of `seed`; `how` receives their names.
    Bytes Mutate(const Bytes& seed, std::string& how) {
        Bytes data = seed;
        const int count = 1 + static_cast<int>(Below(3));
        for (int i = 0; i < count && !data.empty(); ++i) {
            switch (Below(8)) {
            case 0: how += " cut"; data.resize(Below(data.size())); break;
            case 1: how += " flips"; Flip(data); break;
            case 2: how += " run"; Run(data); break;
            case 3: how += " huge"; Claim(data, 100000, 100000); break;
            case 4: how += " zero"; Claim(data, 0, 0); break;
            case 5: how += " odd-size"; Claim(data, 1 + Below(70000), 1 + Below(70000)); break;
            case 6: how += " tiff-ifd"; PatchTiffDirectory(data); break;
            default: how += " gif-frames"; RepeatGifFrames(data); break;
            }
        }
        return data;
    }

private:
    void Flip(Bytes& data) {
        for (std::uint32_t n = 1 + Below(8); n > 0; --n) data[Below(data.size())] ^= static_cast<std::uint8_t>(1u << Below(8));
    }

    void Run(Bytes& data) {
        const std::size_t at = Below(data.size());
        const std::size_t length = std::min<std::size_t>(1 + Below(64), data.size() - at);
        const std::uint8_t values[] = {0x00, 0xFF, 0x7F, 0x80, static_cast<std::uint8_t>(Below(256))};
        std::memset(data.data() + at, values[Below(5)], length);
    }

    // A 2- or 4-byte field at `at`, when it fits.
    static void Put(Bytes& d, std::size_t at, std::uint32_t v, bool little, std::size_t size) {
        for (std::size_t i = 0; at + size <= d.size() && i < size; ++i)
            d[at + (little ? i : size - 1 - i)] = static_cast<std::uint8_t>(v >> (8 * i));
    }
    static void Put16(Bytes& d, std::size_t at, std::uint32_t v, bool little) { Put(d, at, v, little, 2); }
    static void Put32(Bytes& d, std::size_t at, std::uint32_t v, bool little) { Put(d, at, v, little, 4); }
    // Two fields of `size` bytes in a row: a width and a height, or the other way round.
    static void PutPair(Bytes& d, std::size_t at, std::uint32_t a, std::uint32_t b, bool little, std::size_t size) {
        Put(d, at, a, little, size), Put(d, at + size, b, little, size);
    }
    static std::uint32_t Get16(const Bytes& d, std::size_t at, bool little) {
        if (at + 2 > d.size()) return 0;
        return little ? d[at] | d[at + 1] << 8 : d[at] << 8 | d[at + 1];
    }
    static std::uint32_t Get32(const Bytes& d, std::size_t at, bool little) {
        return little ? Get16(d, at, true) | Get16(d, at + 2, true) << 16 : Get16(d, at, false) << 16 | Get16(d, at + 2, false);
    }
    static bool Starts(const Bytes& d, const char* magic, std::size_t length) {
        return d.size() >= length && std::memcmp(d.data(), magic, length) == 0;
    }

    // Where a JPEG's first frame header (SOF0 to SOF2) starts; 0 if none.
    static std::size_t JpegFrameHeader(const Bytes& d) {
        if (!Starts(d, "\xFF\xD8", 2)) return 0;
        for (std::size_t at = 2; at + 9 < d.size(); ++at)
            if (d[at] == 0xFF && (d[at + 1] == 0xC0 || d[at + 1] == 0xC1 || d[at + 1] == 0xC2)) return at;
        return 0;
    }

    // Every TIFF directory's first entry offset (a loop of offsets ends it).
    static std::vector<std::size_t> TiffDirectories(const Bytes& d, bool& little) {
        std::vector<std::size_t> directories;
        little = Starts(d, "II", 2);
        if (!little && !Starts(d, "MM", 2)) return directories;
        for (std::size_t at = Get32(d, 4, little); at >= 8 && at + 2 <= d.size() && directories.size() < 1000;) {
            directories.push_back(at);
            at = Get32(d, at + 2 + 12 * Get16(d, at, little), little);
        }
        return directories;
    }

    // Writes the claimed size into the header fields of whichever format
    // `d` is: PNG's IHDR, BMP's info header, GIF's screen and first image
    // descriptor, JPEG's frame header, ICO's directory entry and the image
    // it points to, every TIFF directory's width and length.
    void Claim(Bytes& d, std::uint32_t width, std::uint32_t height) {
        if (Starts(d, "\x89PNG", 4)) {
            PutPair(d, 16, width, height, false, 4);
        } else if (Starts(d, "BM", 2)) {
            PutPair(d, 18, width, Below(2) ? height : 0u - height, true, 4);  // negative: top-down rows
        } else if (Starts(d, "GIF", 3)) {
            PutPair(d, 6, width, height, true, 2);
            std::size_t at = 13;
            while (at + 9 < d.size() && d[at] != 0x2C) ++at;  // the first image descriptor
            if (at + 9 < d.size()) PutPair(d, at + 5, width, height, true, 2);
        } else if (const std::size_t frame = JpegFrameHeader(d)) {
            PutPair(d, frame + 5, height, width, false, 2);
        } else if (Starts(d, "\0\0\1\0", 4) && d.size() >= 22) {
            d[6] = static_cast<std::uint8_t>(width);
            d[7] = static_cast<std::uint8_t>(height);
            const std::size_t image = Get32(d, 18, true);
            if (Starts(Bytes(d.begin() + std::min(image, d.size()), d.end()), "\x89PNG", 4))
                PutPair(d, image + 16, width, height, false, 4);
            else
                PutPair(d, image + 4, width, height * 2, true, 4);  // the mask's rows count too
        } else {
            bool little = true;
            for (std::size_t directory : TiffDirectories(d, little)) {
                const std::uint32_t entries = Get16(d, directory, little);
                for (std::uint32_t e = 0; e < entries; ++e) {
                    const std::size_t entry = directory + 2 + 12 * e;
                    const std::uint32_t tag = Get16(d, entry, little);
                    if (tag != 256 && tag != 257) continue;
                    const std::uint32_t value = tag == 256 ? width : height;
                    if (Get16(d, entry + 2, little) == 3) Put16(d, entry + 8, value, little);
                    else Put32(d, entry + 8, value, little);
                }
            }
        }
    }

    // A TIFF directory's entry count, one entry's count or offset, or the
    // next-directory offset (back to the first: a loop) patched.
    void PatchTiffDirectory(Bytes& d) {
        bool little = true;
        const std::vector<std::size_t> directories = TiffDirectories(d, little);
        if (directories.empty()) return Flip(d);
        const std::size_t directory = directories[Below(directories.size())];
        const std::uint32_t entries = Get16(d, directory, little);
        const std::uint32_t wild[] = {0, 1, 0xFFFF, 0x7FFFFFFF, 0xFFFFFFFF, static_cast<std::uint32_t>(d.size()),
                                      static_cast<std::uint32_t>(random_())};
        switch (Below(4)) {
        case 0: Put16(d, directory, Below(2) ? 0xFFFF : entries + 1 + Below(4), little); break;
        case 1: Put32(d, directory + 2 + 12 * Below(entries) + 4, wild[Below(7)], little); break;
        case 2: Put32(d, directory + 2 + 12 * Below(entries) + 8, wild[Below(7)], little); break;
        default: Put32(d, directory + 2 + 12 * entries, static_cast<std::uint32_t>(directories[0]), little); break;
        }
    }

    // The frames of a GIF (from the first extension or image descriptor to
    // the trailer) repeated up to 400 times.
    void RepeatGifFrames(Bytes& d) {
        if (!Starts(d, "GIF", 3) || d.size() < 14) return Run(d);
        std::size_t first = 13 + ((d[10] & 0x80) ? 3u << ((d[10] & 7) + 1) : 0u);
        while (first < d.size() && d[first] == 0x21 && first + 1 < d.size() && d[first + 1] == 0xFF) {
            // Skip the application extension (the loop count) to repeat frames only.
            std::size_t at = first + 2;
            while (at < d.size() && d[at] != 0) at += 1 + d[at];
            first = at + 1;
        }
        if (first >= d.size() || d.back() != 0x3B) return Run(d);
        const Bytes frames(d.begin() + static_cast<std::ptrdiff_t>(first), d.end() - 1);
        // Up to 400 copies, within 1 MB: Wine's decoder takes about 0.1 ms a
        // frame, so repeats of repeats (5 million frames in 400 MB) would only
        // time the platform reading a huge file.
        const std::size_t room = frames.empty() ? 0 : (std::size_t{1} << 20) / frames.size();
        const auto copies = static_cast<std::uint32_t>(std::min<std::size_t>(1 + Below(400), room));
        d.pop_back();
        for (std::uint32_t i = 0; i < copies; ++i) d.insert(d.end(), frames.begin(), frames.end());
        d.push_back(0x3B);
    }

    std::mt19937 random_;
};

// The process's committed private memory. Windows reports it as both
// PrivateUsage and PagefileUsage; Wine fills in only PagefileUsage.
SIZE_T PrivateBytes() {
    PROCESS_MEMORY_COUNTERS counters{};
    counters.cb = sizeof counters;
    K32GetProcessMemoryInfo(GetCurrentProcess(), &counters, sizeof counters);
    return counters.PagefileUsage;
}

bool Save(const std::wstring& path, const Bytes& bytes) {
    FILE* file = _wfopen(path.c_str(), L"wb");
    const bool written = file && std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
    return file && std::fclose(file) == 0 && written;
}

// A load must not keep its file open (a handle leaked on a failure path
// would lock the file until the process ends).
bool FileIsClosed(const std::wstring& path) {
    HANDLE file = CreateFileW(path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return false;
    CloseHandle(file);
    return true;
}

// Wine's CreateStreamOnHGlobal streams read past their end after a seek
// beyond it (and the platform's decoders seek to any offset a file names),
// so memory streams are shlwapi's, which keep to their bounds as both
// platforms' streams should.
Ref<IStream> MemoryStream(const Bytes& bytes) {
    return Ref<IStream>(SHCreateMemStream(bytes.data(), static_cast<UINT>(bytes.size())));
}

class Fuzzer {
public:
    Fuzzer(const Session& session, bool trace) : session_(session), trace_(trace) {
        NextFile();
        for (const Session::Coclass& cls : session.Coclasses()) {
            if (cls.name == "RasterObject") objectClass_ = cls.clsid;
            if (cls.name == "RasterCollection") collectionClass_ = cls.clsid;
        }
        Renew();
    }
    bool created() const { return object_ && collection_; }
    // Fresh objects, so that no input's images outlive its own measurement.
    void Renew() { Release(), object_ = session_.Create(objectClass_), collection_ = session_.Create(collectionClass_); }
    void Release() { object_.reset(), collection_.reset(); }

    // Runs one input through the three loads; false on a fault (printed).
    bool Run(const Bytes& input, const std::string& label) {
        struct Renewal {
            Fuzzer& fuzzer;
            ~Renewal() { fuzzer.Renew(); }
        } renewal{*this};
        ++inputs_;
        if (trace_) std::printf("%s\n", label.c_str()), std::fflush(stdout);
        if (!Save(g_inputPath, input)) return Fault(label, "cannot write the input file");
        Variant name;
        name.vt = VT_BSTR, name.bstrVal = SysAllocString(g_inputPath.c_str());

        SetCurrent("LoadFile of " + label);
        bool ok = Check(label, "LoadFile", Invoke(object_.get(), L"LoadFile", DISPATCH_METHOD, {name}, nullptr), true);
        if (!FileIsClosed(g_inputPath) && !PlatformLeavesOpen(input, false)) return Fault(label, "LoadFile left the file open");

        SetCurrent("LoadStream of " + label);
        Variant source;
        source.vt = VT_UNKNOWN;
        if (!(source.punkVal = MemoryStream(input).release())) return Fault(label, "no stream");
        ok &= Check(label, "LoadStream", Invoke(object_.get(), L"LoadStream", DISPATCH_METHOD, {source}, nullptr), true);

        SetCurrent("LoadMultiframeImage of " + label);
        const Outcome pages = Invoke(collection_.get(), L"LoadMultiframeImage", DISPATCH_METHOD, {name}, nullptr);
        ok &= Check(label, "LoadMultiframeImage", pages, false);
        if (!FileIsClosed(g_inputPath) && !PlatformLeavesOpen(input, true))
            return Fault(label, "LoadMultiframeImage left the file open");
        Variant count;
        if (SUCCEEDED(pages.hr) && (FAILED(Invoke(collection_.get(), L"Count", DISPATCH_PROPERTYGET, {}, &count).hr) ||
                                    FAILED(VariantChangeType(&count, &count, 0, VT_I4)) || count.lVal < 0))
            ok &= Fault(label, "Count after LoadMultiframeImage");
        else if (SUCCEEDED(pages.hr))
            pages_ += count.lVal;
        return ok;
    }

    void Report(std::uint32_t seed) const {
        std::printf("decoder fuzzer: seed %lu, %ld inputs x 3 loads: %ld images and %ld pages loaded, %ld loads "
                    "failed with an HRESULT, %ld faults\n",
                    static_cast<unsigned long>(seed), inputs_, images_, pages_, failures_, faults_);
    }
    long faults() const { return faults_; }
    long platformLeftOpen() const { return platformLeftOpen_; }

    // Wine's decoders keep the file of some failed loads open although no
    // image came back to dispose of (a BMP claiming 100 000 x 100 000
    // pixels, for one). Such a file is the platform's leak, not ours, when
    // the platform's own load of a copy of it leaves the copy open too; the
    // next input goes to a new file.
    bool PlatformLeavesOpen(const Bytes& input, bool asBitmap) {
        const std::wstring locked = g_inputPath;
        CopyToNextFile(input);
        PlatformLoad(asBitmap);
        const bool leftOpen = !FileIsClosed(g_inputPath);
        if (leftOpen) ++platformLeftOpen_, NextFile();
        else g_inputPath = locked;  // ours alone: the fault names this file
        return leftOpen;
    }

    // Whether the platform's own loads of `input` (from a file, from a
    // stream, as a bitmap) keep private memory: Wine's decoders keep some
    // on many failures (800 KB a load of a PNG claiming 100 000 x 100 000
    // pixels), which the DLL cannot free, having no image to dispose of.
    bool PlatformKeepsMemory(const Bytes& input) {
        CopyToNextFile(input);
        const SIZE_T before = PrivateBytes();
        PlatformLoad(false);
        Gdiplus::GpImage* image = nullptr;
        if (Ref<IStream> stream = MemoryStream(input);
            stream && Gdiplus::DllExports::GdipLoadImageFromStream(stream.get(), &image) == Gdiplus::Ok && image)
            Gdiplus::DllExports::GdipDisposeImage(image);
        PlatformLoad(true);
        NextFile();
        return PrivateBytes() >= before + kNoticeableGrowth;
    }

    static constexpr SIZE_T kNoticeableGrowth = 256 * 1024;

private:
    // The platform's own load of the input file, as an image or as a bitmap.
    static void PlatformLoad(bool asBitmap) {
        Gdiplus::GpImage* image = nullptr;
        Gdiplus::GpBitmap* bitmap = nullptr;
        if (asBitmap) Gdiplus::DllExports::GdipCreateBitmapFromFile(g_inputPath.c_str(), &bitmap), image = bitmap;
        else Gdiplus::DllExports::GdipLoadImageFromFile(g_inputPath.c_str(), &image);
        if (image) Gdiplus::DllExports::GdipDisposeImage(image);
    }
    void NextFile() { g_inputPath = session_.work() + L"\\input" + std::to_wstring(fileIndex_++) + L".bin"; }
    void CopyToNextFile(const Bytes& input) { NextFile(), Save(g_inputPath, input); }

    bool Fault(const std::string& label, const std::string& what) {
        std::fprintf(stderr, "decoder fuzzer: FAULT: %s: %s\n", label.c_str(), what.c_str());
        return ++faults_, false;
    }

    // A load's result: a well-formed failure, or an image whose size and
    // corner pixels can be read.
    bool Check(const std::string& label, const std::string& method, const Outcome& load, bool image) {
        if (trace_) std::printf("  %s: 0x%08lX\n", method.c_str(), static_cast<unsigned long>(load.hr));
        if (!load.failingCode || !load.described)
            return Fault(label, method + " raised an exception without a failing code or text");
        if (FAILED(load.hr)) return ++failures_, true;
        if (!image) return true;
        Variant width, height, corner;
        if (FAILED(Invoke(object_.get(), L"Width", DISPATCH_PROPERTYGET, {}, &width).hr) ||
            FAILED(Invoke(object_.get(), L"Height", DISPATCH_PROPERTYGET, {}, &height).hr) ||
            FAILED(VariantChangeType(&width, &width, 0, VT_I4)) || FAILED(VariantChangeType(&height, &height, 0, VT_I4)))
            return Fault(label, method + " succeeded but the size cannot be read");
        const long w = width.lVal, h = height.lVal;
        if (w <= 0 || h <= 0 || static_cast<double>(w) * h * 4 > 2147483647.0)
            return Fault(label, method + " gave an image of impossible size");
        if (FAILED(Invoke(object_.get(), L"Pixels", DISPATCH_PROPERTYGET, {Long(0), Long(0)}, &corner).hr) ||
            FAILED(Invoke(object_.get(), L"Pixels", DISPATCH_PROPERTYGET, {Long(w - 1), Long(h - 1)}, &corner).hr))
            return Fault(label, method + " succeeded but its corner pixels cannot be read");
        return ++images_, true;
    }

    const Session& session_;
    bool trace_;
    long fileIndex_ = 0;
    long platformLeftOpen_ = 0;
    CLSID objectClass_{}, collectionClass_{};
    Ref<IDispatch> object_, collection_;
    long inputs_ = 0, images_ = 0, pages_ = 0, failures_ = 0, faults_ = 0;
};

}  // namespace

int main(int argc, char** argv) {
    const long seed = NumberOption(argc, argv, "--seed", 1), mutants = NumberOption(argc, argv, "--mutants", 300);
    const long limit = NumberOption(argc, argv, "--limit", 120), growthMb = NumberOption(argc, argv, "--growth", 32);
    const int saveAt = FindOption(argc, argv, "--save");  // write the mutant, run nothing
    const long saveMutant = saveAt && saveAt + 2 < argc ? std::strtol(argv[saveAt + 1], nullptr, 10) : -1;
    const std::wstring savePath = saveMutant >= 0 ? std::filesystem::path(argv[saveAt + 2]).wstring() : L"";
    const bool trace = FindOption(argc, argv, "--trace") != 0;
    Session session("decoder fuzzer", limit);
    const Gdiplus::GdiplusStartupInput startup;
    ULONG_PTR gdiplusToken = 0;
    Gdiplus::GdiplusStartup(&gdiplusToken, &startup, nullptr);
    const std::vector<Input> seeds = Embedded(L"SEED"), regressions = Embedded(L"REGRESSION");
    int result = 0;
    {
        Fuzzer fuzzer(session, trace);
        if (!session.loaded() || seeds.empty() || !fuzzer.created()) {
            std::fprintf(stderr, "decoder fuzzer: no seeds, or RasterObject and RasterCollection cannot be created\n");
            return 2;
        }
        // Seeds as they are, then every input that once failed, then the
        // mutants; private bytes are measured once the replay warmed up.
        if (saveMutant < 0) {
            for (const Input& input : seeds) fuzzer.Run(input.bytes, "seed " + input.name);
            for (const Input& input : regressions) fuzzer.Run(input.bytes, "regression " + input.name);
        }
        // Growth is summed over the inputs whose loads the platform ended
        // cleanly; the inputs on which its decoders kept their file, or on
        // which its own loads keep memory too, are summed apart, as the
        // platform's leak.
        const SIZE_T before = PrivateBytes();
        long long ownGrowth = 0, platformGrowth = 0, firstRunGrowth = 0;
        long runsAgain = 0;
        Mutator mutator(static_cast<std::uint32_t>(seed));
        for (long n = 0; n < mutants; ++n) {
            const Input& from = seeds[mutator.Below(seeds.size())];
            std::string how;
            const Bytes mutant = n % 50 == 49 ? Bytes() : mutator.Mutate(from.bytes, how);
            if (n == saveMutant) {
                Save(savePath, mutant);
                break;
            }
            if (saveMutant >= 0) continue;
            const long leftOpen = fuzzer.platformLeftOpen();
            const std::string label = "mutant " + std::to_string(n) + " of " + from.name + (mutant.empty() ? " empty" : how);
            const auto growthOfRun = [&](const std::string& name) {
                const SIZE_T start = PrivateBytes();
                fuzzer.Run(mutant, name);
                return static_cast<long long>(PrivateBytes()) - static_cast<long long>(start);
            };
            long long grown = growthOfRun(label);
            const bool noticeable = grown >= static_cast<long long>(Fuzzer::kNoticeableGrowth);
            const bool platforms =
                fuzzer.platformLeftOpen() != leftOpen || (noticeable && fuzzer.PlatformKeepsMemory(mutant));
            if (noticeable && !platforms) {
                // A leak grows with every load of the input; what the heap
                // keeps after a huge allocation grows once. The second run
                // of the input decides.
                firstRunGrowth += grown;
                grown = growthOfRun(label + ", again");
                ++runsAgain;
            }
            (platforms ? platformGrowth : ownGrowth) += grown;
            if (trace) std::printf("  private bytes %+lld KB\n", grown / 1024);
        }
        fuzzer.Report(static_cast<std::uint32_t>(seed));
        std::printf("decoder fuzzer: %ld files the platform's own decoders left open; private bytes %llu KB after "
                    "the replay, %llu KB after the mutants: %lld KB on inputs the platform ended cleanly, %lld KB on "
                    "those it leaks on; %ld inputs grew by %lld KB on their first run and were run again\n",
                    fuzzer.platformLeftOpen(), before / 1024ull, PrivateBytes() / 1024ull, ownGrowth / 1024,
                    platformGrowth / 1024, runsAgain, firstRunGrowth / 1024);
        if (ownGrowth > growthMb * 1024ll * 1024) {
            std::fprintf(stderr, "decoder fuzzer: private bytes grew by more than %ld MB\n", growthMb);
            result = 1;
        }
        if (fuzzer.faults() != 0) result = 1;
        SetCurrent("releasing the objects");
        fuzzer.Release();
    }
    result = session.Finish(result);
    Gdiplus::GdiplusShutdown(gdiplusToken);
    return result;
}
