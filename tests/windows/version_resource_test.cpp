// The plug-in DLL's version resource, as Windows reads it for a file's
// Details page: the project's version, the same one the DLL reports to the
// host through qvpVersion, in the built DLL and in the stripped one that
// ships.
#include <windows.h>

#include <string>
#include <vector>

#include <gtest/gtest.h>

namespace {

struct FileVersion {
  std::string fixed;               // from the binary block, "a.b.c.d"
  std::string file, product, name; // FileVersion, ProductVersion, ProductName strings
  std::string description;         // FileDescription
};

// Reads path's version resource; false when it has none.
bool readVersion(const std::string &path, FileVersion *version) {
  DWORD ignored = 0;
  const DWORD size = GetFileVersionInfoSizeA(path.c_str(), &ignored);
  if (size == 0) {
    return false;
  }
  std::vector<char> block(size);
  if (!GetFileVersionInfoA(path.c_str(), 0, size, block.data())) {
    return false;
  }
  void *value = nullptr;
  UINT length = 0;
  if (!VerQueryValueA(block.data(), "\\", &value, &length) || length < sizeof(VS_FIXEDFILEINFO)) {
    return false;
  }
  const auto *fixed = static_cast<const VS_FIXEDFILEINFO *>(value);
  version->fixed = std::to_string(HIWORD(fixed->dwFileVersionMS)) + "." +
                   std::to_string(LOWORD(fixed->dwFileVersionMS)) + "." +
                   std::to_string(HIWORD(fixed->dwFileVersionLS)) + "." +
                   std::to_string(LOWORD(fixed->dwFileVersionLS));
  const auto text = [&](const char *name) {
    const std::string key = std::string("\\StringFileInfo\\040904B0\\") + name;
    return VerQueryValueA(block.data(), key.c_str(), &value, &length) && length > 0
               ? std::string(static_cast<const char *>(value))
               : std::string();
  };
  version->file = text("FileVersion");
  version->product = text("ProductVersion");
  version->name = text("ProductName");
  version->description = text("FileDescription");
  return true;
}

// The version string the DLL hands the host, read from the loaded DLL.
std::string reportedVersion(const std::string &path) {
  HMODULE library = LoadLibraryA(path.c_str());
  if (library == nullptr) {
    return "LoadLibrary failed, error " + std::to_string(GetLastError());
  }
  const auto *symbol = reinterpret_cast<const char *const *>(
      reinterpret_cast<void *>(GetProcAddress(library, "qvpVersion")));
  std::string reported = symbol != nullptr ? *symbol : "no qvpVersion";
  FreeLibrary(library);
  return reported;
}

class VersionResource : public ::testing::TestWithParam<const char *> {};

TEST_P(VersionResource, CarriesTheProjectVersionTheDllReports) {
  const std::string path = GetParam();
  FileVersion version;
  ASSERT_TRUE(readVersion(path, &version)) << path << ": no version resource";
  EXPECT_EQ(version.fixed, ELVARIN_PROJECT_VERSION ".0");
  EXPECT_EQ(version.file, ELVARIN_PROJECT_VERSION);
  EXPECT_EQ(version.product, ELVARIN_PROJECT_VERSION);
  EXPECT_EQ(version.name, "Elvarin");
  EXPECT_NE(version.description, "");
  EXPECT_EQ(reportedVersion(path), version.product);
}

// The built DLL beside this program, and the stripped copy made for the
// Windows archive (elvarin_stripped_dll), if this build made one.
INSTANTIATE_TEST_SUITE_P(Dlls, VersionResource, ::testing::Values(ELVARIN_VERSIONED_DLLS),
                         [](const auto &param) {
                           return std::string(param.index == 0 ? "built" : "stripped");
                         });

} // namespace
