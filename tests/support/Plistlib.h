// Python's plistlib, the property-list peer of tests: a python3 process runs
// a script in a folder of the test's own and reads and writes files there.
// Tests run the peer once per batch of documents, never once per document.
//
//   testsupport::Plistlib peer("records");             // $KL_HOME/plistlib-records
//   ASSERT_TRUE(testsupport::Plistlib::available());
//   peer.write("in.bplist", bytes);
//   auto r = peer.run("import plistlib\nprint(plistlib.load(open('in.bplist', 'rb')))");
//   EXPECT_EQ(r.status, 0) << r.output;
//   peer.runTool("gen 7 100 docs.blobs");              // support/plistlib_peer.py with arguments
//                                                      // (the folder goes with the peer)
//
// Blobs: byte strings one after another in one file, each an 8-byte
// big-endian length and its bytes (writeBlobs, readBlobs; the tool's too).
#pragma once

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "foundation/Value.h"
#include "support/Command.h"

namespace testsupport {

class Plistlib {
public:
    explicit Plistlib(const std::string& name) {
        const char* home = std::getenv("KL_HOME");
        dir_ = std::filesystem::path(home ? home : std::filesystem::temp_directory_path().c_str()) /
               ("plistlib-" + name);
        std::filesystem::remove_all(dir_);
        std::filesystem::create_directories(dir_);
    }
    // The folder goes with the peer: nothing is left for the next test.
    ~Plistlib() {
        std::error_code ignored;
        std::filesystem::remove_all(dir_, ignored);
    }
    Plistlib(const Plistlib&) = delete;
    Plistlib& operator=(const Plistlib&) = delete;

    static bool available() { return runCommand("python3 -c 'import plistlib'").status == 0; }

    const std::filesystem::path& dir() const { return dir_; }

    // Runs the script text in the folder.
    CommandResult run(const std::string& script) {
        std::ofstream(dir_ / "peer.py") << script;
        return python("peer.py");
    }
    // Runs support/plistlib_peer.py with the arguments, in the folder.
    CommandResult runTool(const std::string& arguments) {
        return python("'" KL_TEST_SUPPORT_DIR "/plistlib_peer.py' " + arguments);
    }

    void write(const std::string& name, const ns::Bytes& bytes) const {
        std::ofstream out(dir_ / name, std::ios::binary);
        out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    }
    ns::Bytes read(const std::string& name) const {
        std::ifstream in(dir_ / name, std::ios::binary);
        return ns::Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    }

    void writeBlobs(const std::string& name, const std::vector<ns::Bytes>& blobs) const {
        ns::Bytes out;
        for (const auto& b : blobs) {
            for (int i = 7; i >= 0; --i) out.push_back(static_cast<std::uint8_t>(std::uint64_t{b.size()} >> (8 * i)));
            out.insert(out.end(), b.begin(), b.end());
        }
        write(name, out);
    }
    std::vector<ns::Bytes> readBlobs(const std::string& name) const {
        ns::Bytes all = read(name);
        std::vector<ns::Bytes> blobs;
        std::size_t at = 0;
        while (all.size() - at >= 8) {
            std::uint64_t n = 0;
            for (int i = 0; i < 8; ++i) n = n << 8 | all[at + i];
            at += 8;
            if (n > all.size() - at) break;
            blobs.emplace_back(all.begin() + static_cast<std::ptrdiff_t>(at),
                               all.begin() + static_cast<std::ptrdiff_t>(at + n));
            at += n;
        }
        return blobs;
    }

private:
    CommandResult python(const std::string& what) {
        return runCommand("cd '" + dir_.string() + "' && LC_ALL=C.UTF-8 python3 " + what);
    }

    std::filesystem::path dir_;
};

}  // namespace testsupport
