#pragma once

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <map>
#include <string>

namespace norvale::zip::test {

namespace fs = std::filesystem;

// A fresh folder under the system's temporary folder, removed afterwards.
class TempDir {
  public:
    TempDir() {
        std::string pattern = (fs::temp_directory_path() / "zip-test-XXXXXX").string();
        path_ = ::mkdtemp(pattern.data());
    }
    ~TempDir() {
        std::error_code ec;
        fs::permissions(path_, fs::perms::owner_all, fs::perm_options::add, ec);
        fs::remove_all(path_, ec);
    }
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    const fs::path& Path() const { return path_; }
    fs::path operator/(const std::string& name) const { return path_ / name; }

  private:
    fs::path path_;
};

inline std::string Quote(const fs::path& p) {
    std::string quoted(1, '\'');
    quoted.append(p.string()).push_back('\'');
    return quoted;
}

// Runs a shell command in `cwd`; true on exit status 0.
inline bool RunShell(const fs::path& cwd, const std::string& command) {
    std::string line = "cd " + Quote(cwd) + " && { " + command + "; } >/dev/null 2>&1";
    return std::system(line.c_str()) == 0;
}

inline void WriteFile(const fs::path& p, const std::string& data) {
    fs::create_directories(p.parent_path());
    std::ofstream(p, std::ios::binary) << data;
}

inline std::string ReadFile(const fs::path& p) {
    std::ifstream in(p, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

// Builds a crafted archive with tests/zip/make_archive.py.
inline fs::path MakeArchive(const TempDir& dir, const std::string& kind,
                            const std::string& arg = "x") {
    fs::path out = dir / (kind + ".zip");
    const std::string script = NORVALE_MAKE_ARCHIVE;
    EXPECT_TRUE(RunShell(dir.Path(),
                         "python3 '" + script + "' " + kind + " " + Quote(out) + " " + Quote(arg)));
    return out;
}

// Relative path -> "d" for folders, "f<mode bits>:<size>:<content hash>" for files,
// "l" for symlinks.
inline std::map<std::string, std::string> Snapshot(const fs::path& root) {
    std::map<std::string, std::string> tree;
    if (!fs::exists(root)) return tree;
    for (auto& e : fs::recursive_directory_iterator(root)) {
        std::string rel = fs::relative(e.path(), root).string();
        if (e.is_symlink()) {
            tree[rel] = "l";
        } else if (e.is_directory()) {
            tree[rel] = "d";
        } else {
            struct stat st {};
            ::stat(e.path().c_str(), &st);
            std::string data = ReadFile(e.path());
            tree[rel] = "f" + std::to_string(st.st_mode & 07777) + ":" +
                        std::to_string(data.size()) + ":" +
                        std::to_string(std::hash<std::string>{}(data));
        }
    }
    return tree;
}

// Modification times of the files below `root`.
inline std::map<std::string, long> FileTimes(const fs::path& root) {
    std::map<std::string, long> times;
    for (auto& e : fs::recursive_directory_iterator(root)) {
        struct stat st {};
        if (e.is_regular_file() && ::stat(e.path().c_str(), &st) == 0)
            times[fs::relative(e.path(), root).string()] = st.st_mtime;
    }
    return times;
}

}  // namespace norvale::zip::test
