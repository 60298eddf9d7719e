// The firmware a description names: read or made from its recipe, and refused with the
// description's file, line and field when the program could not install it whole.

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "tools/fwpack/FirmwareSources.h"
#include "tools/fwpack/SyntheticFirmware.h"

namespace flashtool {
namespace {

class FirmwareSourcesTest : public ::testing::Test {
protected:
    void SetUp() override {
        folder = std::filesystem::temp_directory_path() /
                 ("fwsources-" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()) +
                  "-" + ::testing::UnitTest::GetInstance()->current_test_info()->name());
        std::filesystem::create_directories(folder);
        Write("recipe.txt",
              "revision \"2.0b\"\nfamily \"KM7225\"\nlength 32768\nseed 5\ncode-size 9000\n");
    }
    void TearDown() override { std::filesystem::remove_all(folder); }

    void Write(const std::string& name, const std::string& bytes) {
        std::ofstream(folder / name, std::ios::binary) << bytes;
    }
    LoadedFirmware Load(const std::string& field, const std::string& path,
                        RegionLayout layout = RegionLayout::Single) {
        BuildDescription d;
        d.layout = layout;
        d.sourceA = FirmwareSource{field, path, 9, field.starts_with("synthetic")};
        return LoadFirmware(d, "build.txt", folder.string());
    }

    std::filesystem::path folder;
};

TEST_F(FirmwareSourcesTest, ReadsAFileAsItIsAndMakesARecipesImage) {
    const std::string opaque(3 * 16384, '\x5A');
    Write("fw.bin", opaque);
    const LoadedFirmware file = Load("image-a", "fw.bin");
    ASSERT_EQ(file.error, "");
    EXPECT_EQ(file.imageA, std::vector<uint8_t>(opaque.begin(), opaque.end()));

    const LoadedFirmware made = Load("synthetic-a", "recipe.txt");
    ASSERT_EQ(made.error, "");
    EXPECT_EQ(made.imageA, GenerateSyntheticFirmware({"2.0b", "KM7225", 32768, 5, 9000}));
}

TEST_F(FirmwareSourcesTest, RefusesWhatCannotBeInstalledWholeNamingFileLineAndField) {
    Write("empty.bin", "");
    Write("part-page.bin", std::string(16384 + 100, '\1'));
    Write("too-large.bin", std::string(2097152 + 16384, '\1'));
    Write("bad-recipe.txt", "revision \"2.0b\"\nlength lots\n");
    Write("huge-recipe.txt", std::string(65537, '#'));
    const struct {
        std::string field, path, error;
    } cases[] = {
        {"image-a", "missing.bin", "build.txt:9: image-a \"missing.bin\": no such file"},
        {"image-a", "empty.bin", "build.txt:9: image-a \"empty.bin\": the file is empty"},
        {"image-a", "part-page.bin",
         "build.txt:9: image-a \"part-page.bin\": the file has 16484 bytes, not a whole number "
         "of 16384-byte pages"},
        {"image-a", "too-large.bin",
         "build.txt:9: image-a \"too-large.bin\": the file has 2113536 bytes, more than the "
         "2097152 the drive's buffer holds"},
        {"synthetic-a", "bad-recipe.txt", "build.txt:9: synthetic-a \"bad-recipe.txt\": "},
        {"image-a", ".", "build.txt:9: image-a \".\": not a regular file"},
        {"synthetic-a", "huge-recipe.txt",
         "build.txt:9: synthetic-a \"huge-recipe.txt\": the file has 65537 bytes, more than "
         "the 65536 a recipe may have"},
    };
    for (const auto& c : cases) {
        const LoadedFirmware loaded = Load(c.field, c.path);
        EXPECT_EQ(loaded.error.substr(0, c.error.size()), c.error) << loaded.error;
    }
}

TEST_F(FirmwareSourcesTest, EachPayloadOfTheLayoutNeedsItsFirmware) {
    BuildDescription single;
    EXPECT_EQ(LoadFirmware(single, "build.txt", folder.string()).error,
              "build.txt: image-a or synthetic-a is missing: payload A needs its firmware");
    const LoadedFirmware dual = Load("synthetic-a", "recipe.txt", RegionLayout::Dual);
    EXPECT_EQ(dual.error,
              "build.txt: image-b or synthetic-b is missing: payload B needs its firmware");
}

TEST(BuildDescriptionFieldsTest, RefusesTwoSourcesForAPayloadAndABadPackageName) {
    const std::string base =
        "key \"TARN0\"\ntarget \"KESTREL DVD RW KD-4225  \"\nrevision 2.0b\nfamily KM7225\n"
        "pattern \"QZ*.**\"\nlayout single\n";
    const struct {
        std::string extra, error;
    } cases[] = {
        {"image-a a.bin\nsynthetic-a a.txt\n",
         "b.txt:8: synthetic-a and image-a both name payload A's firmware"},
        {"image-b b.bin\n", "b.txt:7: image-b belongs to the dual layout"},
        {"package Flashtool-X\n", "b.txt:7: package \"Flashtool-X\" is not a Debian package name"},
        {"package -x\n", "b.txt:7: package \"-x\" is not a Debian package name"},
    };
    for (const auto& c : cases) {
        const auto parsed = ParseBuildDescription(base + c.extra, "b.txt");
        EXPECT_FALSE(parsed.description.has_value()) << c.error;
        EXPECT_EQ(parsed.error.substr(0, c.error.size()), c.error);
    }
    const auto good = ParseBuildDescription(
        base + "image-a \"fw.bin\"\npackage flashtool-kd-4225\nmodel \"KESTREL KD-4225\"\n",
        "b.txt");
    ASSERT_TRUE(good.description.has_value()) << good.error;
    EXPECT_EQ(good.description->sourceA->path, "fw.bin");
    EXPECT_EQ(good.description->package, "flashtool-kd-4225");
}

}  // namespace
}  // namespace flashtool
