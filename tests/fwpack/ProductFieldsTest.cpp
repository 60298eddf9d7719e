// What a product build names besides its firmware: the package's and the model's defaults,
// a vendor's texts and files, the release notes, and the script CMake reads of it. Every
// refusal names the description's file, the field's line and the field.

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "tools/fwpack/CMakeDescription.h"
#include "tools/fwpack/ProductFields.h"
#include "tools/fwpack/ReleaseNotes.h"

namespace flashtool {
namespace {

constexpr std::string_view kBase =
    "key \"TARN1\"\ntarget \"PALLAS  DVD-ROM PD-700  \"\nrevision 3.1c\nfamily VA700\n"
    "pattern \"WV*.**\"\nlayout single\nimage-a \"fw.bin\"\n";

class ProductFieldsTest : public ::testing::Test {
protected:
    void SetUp() override {
        folder = std::filesystem::temp_directory_path() /
                 ("product-" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()) +
                  "-" + ::testing::UnitTest::GetInstance()->current_test_info()->name());
        std::filesystem::create_directories(folder);
        Write("icon.svg", "<?xml version=\"1.0\"?>\n<svg xmlns=\"http://www.w3.org/2000/svg\"/>\n");
        Write("notes.txt", "2027-01-15\n\nReads 8 cm discs again.\n\nWrites faster;\n  quieter.\n");
        Write("drives.json", "{}\n");
    }
    void TearDown() override { std::filesystem::remove_all(folder); }

    void Write(const std::string& name, const std::string& bytes) {
        std::ofstream(folder / name, std::ios::binary) << bytes;
    }
    LoadedProduct Load(const std::string& extra) {
        const ParsedBuildDescription parsed =
            ParseBuildDescription(std::string(kBase) + extra, "build.txt");
        EXPECT_TRUE(parsed.description.has_value()) << parsed.error;
        return LoadProduct(*parsed.description, "build.txt", folder.string());
    }

    std::filesystem::path folder;
};

TEST_F(ProductFieldsTest, NamesTheProductAfterTheTargetUnlessTheDescriptionDoes) {
    const LoadedProduct plain = Load("");
    ASSERT_TRUE(plain.product.has_value()) << plain.error;
    EXPECT_EQ(plain.product->package, "flashtool-pd-700");
    EXPECT_EQ(plain.product->model, "PALLAS DVD-ROM PD-700");
    EXPECT_EQ(plain.product->icon, "");
    EXPECT_FALSE(plain.product->notes.has_value());

    const LoadedProduct named = Load("package flashtool-pd700x\nmodel \"PALLAS PD-700\"\n");
    ASSERT_TRUE(named.product.has_value()) << named.error;
    EXPECT_EQ(named.product->package, "flashtool-pd700x");
    EXPECT_EQ(named.product->model, "PALLAS PD-700");

    EXPECT_EQ(DefaultPackage("ORIN    DVD RW QV-5500A "), "flashtool-qv-5500a");
    EXPECT_EQ(DefaultPackage("*                       "), "");
    EXPECT_EQ(DefaultPackage("KESTREL CD-ROM KR_317   "), "flashtool-kr-317");
}

TEST_F(ProductFieldsTest, ReadsWhatAVendorGives) {
    const LoadedProduct loaded = Load(
        "vendor \"Pallas Storage\"\nmaintainer \"Pallas Firmware <firmware@pallas.example>\"\n"
        "homepage \"https://pallas.example/pd-700\"\nicon \"icon.svg\"\n"
        "release-notes \"notes.txt\"\ndrives \"drives.json\"\n");
    ASSERT_TRUE(loaded.product.has_value()) << loaded.error;
    const Product& product = *loaded.product;
    EXPECT_EQ(product.vendor, "Pallas Storage");
    EXPECT_EQ(product.maintainer, "Pallas Firmware <firmware@pallas.example>");
    EXPECT_EQ(product.homepage, "https://pallas.example/pd-700");
    EXPECT_EQ(product.icon, (folder / "icon.svg").string());
    EXPECT_EQ(product.drives, (folder / "drives.json").string());
    ASSERT_TRUE(product.notes.has_value());
    EXPECT_EQ(product.notes->date, "2027-01-15");
    EXPECT_EQ(product.notes->changelogDate, "Fri, 15 Jan 2027 12:00:00 +0000");
    ASSERT_EQ(product.notes->notes.size(), 2u);
    EXPECT_EQ(product.notes->notes[1], (std::vector<std::string>{"Writes faster;", "quieter."}));
}

TEST_F(ProductFieldsTest, RefusesABadFieldNamingFileLineAndField) {
    Write("fake.svg", "not a picture\n");
    Write("icon.png", "<svg/>\n");
    Write("bad-date.txt", "15.01.2027\n\nA note.\n");
    Write("no-day.txt", "2027-02-30\n\nA note.\n");
    Write("no-note.txt", "2027-01-15\n\n");
    Write("long.txt", "2027-01-15\n" + std::string(73, 'x') + "\n");
    Write("latin1.txt", "2027-01-15\nR\xE9sum\xE9\n");
    const struct {
        std::string extra, error;
    } cases[] = {
        {"vendor \"<b>\"\n", "build.txt:8: vendor \"<b>\" is not 1 to 64 printable characters"},
        {"maintainer \"Pallas Firmware\"\n",
         "build.txt:8: maintainer \"Pallas Firmware\" is not a name and an address"},
        {"maintainer \"<a@b.example>\"\n", "build.txt:8: maintainer \"<a@b.example>\" is not"},
        {"maintainer \"P <a@b@c>\"\n", "build.txt:8: maintainer \"P <a@b@c>\" is not"},
        {"homepage \"pallas.example\"\n",
         "build.txt:8: homepage \"pallas.example\" is not an http:// or https:// address"},
        {"icon \"none.svg\"\n", "build.txt:8: icon \"none.svg\": no such file"},
        {"icon \"fake.svg\"\n", "build.txt:8: icon \"fake.svg\" is not an SVG picture"},
        {"icon \"icon.png\"\n", "build.txt:8: icon \"icon.png\" is not an SVG picture"},
        {"icon \".\"\n", "build.txt:8: icon \".\": not a regular file"},
        {"drives \"none.json\"\n", "build.txt:8: drives \"none.json\": no such file"},
        {"release-notes \"bad-date.txt\"\n",
         "build.txt:8: release-notes \"bad-date.txt\": bad-date.txt:1: the first line is the "
         "release date, YYYY-MM-DD (a real day), not \"15.01.2027\""},
        {"release-notes \"no-day.txt\"\n",
         "build.txt:8: release-notes \"no-day.txt\": no-day.txt:1: the first line is the"},
        {"release-notes \"no-note.txt\"\n",
         "build.txt:8: release-notes \"no-note.txt\": no-note.txt: no note after the date"},
        {"release-notes \"long.txt\"\n",
         "build.txt:8: release-notes \"long.txt\": long.txt:2: the line has 73 characters, more "
         "than 72"},
        {"release-notes \"latin1.txt\"\n",
         "build.txt:8: release-notes \"latin1.txt\": latin1.txt:2: the notes are printable ASCII"},
    };
    for (const auto& c : cases) {
        const LoadedProduct loaded = Load(c.extra);
        EXPECT_FALSE(loaded.product.has_value()) << c.extra;
        EXPECT_EQ(loaded.error.substr(0, c.error.size()), c.error);
    }
    const ParsedBuildDescription wildcard = ParseBuildDescription(
        "key \"TARN2\"\ntarget \"*                       \"\nrevision 1.2b\nfamily KM3130\n"
        "pattern \"QZ*.**\"\nlayout single\n",
        "build.txt");
    ASSERT_TRUE(wildcard.description.has_value()) << wildcard.error;
    EXPECT_EQ(LoadProduct(*wildcard.description, "build.txt", folder.string()).error,
              "build.txt: package is missing: a wildcard target names no model to name the "
              "package after");
}

TEST_F(ProductFieldsTest, DescribesTheBuildForCMakeWhateverItsTextsHold) {
    EXPECT_EQ(CMakeBracket("plain"), "[[plain]]");
    EXPECT_EQ(CMakeBracket("a]]b]=]c"), "[==[a]]b]=]c]==]");

    const ParsedBuildDescription parsed = ParseBuildDescription(
        std::string(kBase) + "vendor \"Pallas ]] ; Storage\"\nrelease-notes \"notes.txt\"\n",
        (folder / "build.txt").string());
    ASSERT_TRUE(parsed.description.has_value()) << parsed.error;
    const LoadedProduct loaded = LoadProduct(*parsed.description, "build.txt", folder.string());
    ASSERT_TRUE(loaded.product.has_value()) << loaded.error;
    const std::vector<std::string> inputs =
        BuildInputs(*parsed.description, *loaded.product, (folder / "build.txt").string());
    EXPECT_EQ(inputs, (std::vector<std::string>{(folder / "build.txt").string(),
                                                (folder / "fw.bin").string(),
                                                (folder / "notes.txt").string()}));
    const std::string script = CMakeDescription(*parsed.description, *loaded.product, inputs);
    for (const std::string line :
         {"set(FWPACK_PACKAGE [[flashtool-pd-700]])\n",
          "set(FWPACK_VENDOR [=[Pallas ]] ; Storage]=])\n", "set(FWPACK_FIRMWARE_A [[fw.bin]])\n",
          "set(FWPACK_FIRMWARE_A_SYNTHETIC [[OFF]])\n", "set(FWPACK_NOTE_COUNT [[2]])\n",
          "set(FWPACK_NOTE_2 [[Writes faster;\nquieter.]])\n",
          "set(FWPACK_NOTES_CHANGELOG_DATE [[Fri, 15 Jan 2027 12:00:00 +0000]])\n"}) {
        EXPECT_NE(script.find(line), std::string::npos) << line << script;
    }
}

}  // namespace
}  // namespace flashtool
