// tessaroom-ditto: the copy tool of the simulated machine. Copies a folder
// tree (or one file) to a new place, keeping modes and symbolic links; the
// copy is the user's own, so its owner may always write it (an attached
// image's tree is read-only).
//
//   tessaroom-ditto SOURCE DESTINATION
#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

namespace fs = std::filesystem;

namespace {

// Copies one entry; false (with a message on standard error) on failure.
bool copyTree(const fs::path& source, const fs::path& target)
{
    std::error_code error;
    const fs::file_status status = fs::symlink_status(source, error);
    if (error) {
        std::fprintf(stderr, "ditto: %s: %s\n", source.c_str(), error.message().c_str());
        return false;
    }
    const auto ownWritable = [&](const fs::path& path) {
        fs::permissions(path, (status.permissions() | fs::perms::owner_write) & fs::perms::mask,
                        fs::perm_options::replace, error);
        return !error;
    };
    if (fs::is_symlink(status)) {
        fs::copy_symlink(source, target, error);
    } else if (fs::is_regular_file(status)) {
        if (fs::copy_file(source, target, fs::copy_options::none, error))
            ownWritable(target);
    } else if (fs::is_directory(status)) {
        if (!fs::create_directory(target, error) && !error)
            error = std::make_error_code(std::errc::file_exists);
        if (!error) {
            std::vector<fs::path> entries;
            for (fs::directory_iterator it(source, error), end; !error && it != end; it.increment(error))
                entries.push_back(it->path().filename());
            // A fixed order makes a failure leave the same partial copy.
            std::sort(entries.begin(), entries.end());
            for (const fs::path& name : entries) {
                if (!copyTree(source / name, target / name))
                    return false;
            }
            if (!error)
                ownWritable(target);
        }
    } else {
        std::fprintf(stderr, "ditto: %s: unsupported file type\n", source.c_str());
        return false;
    }
    if (error) {
        std::fprintf(stderr, "ditto: %s: %s\n", target.c_str(), error.message().c_str());
        return false;
    }
    return true;
}

} // namespace

int main(int argc, char** argv)
{
    if (argc != 3) {
        std::fputs("usage: ditto SOURCE DESTINATION\n", stderr);
        return 64;
    }
    return copyTree(argv[1], argv[2]) ? 0 : 1;
}
