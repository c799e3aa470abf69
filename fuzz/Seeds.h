// SPDX-License-Identifier: MIT
#pragma once
// The starting inputs of the fuzzers, and the files the regression tests replay: the shipped
// skins and settings, and copies of them with one defect each - the defects that text files
// really arrive with.

#include <fstream>
#include <iterator>
#include <string>
#include <utility>
#include <vector>

struct TSeed {
    std::string Name;
    std::string Bytes;
};

inline std::string ReadSeedFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// Variants of a good file, each broken in one way.
inline std::vector<TSeed> OneDefectEach(const std::string& stem, const std::string& good) {
    const std::size_t firstEnd = good.find('\r');
    const std::size_t secondEnd = good.find('\r', firstEnd + 1);
    const std::size_t eq = good.find('=');
    auto replaced = [&](std::size_t at, std::size_t n, const std::string& with) {
        std::string s = good;
        s.replace(at, n, with);
        return s;
    };
    std::string loneCr = good; // every line end a CR only, and one LF on its own
    for (std::size_t p; (p = loneCr.find("\r\n")) != std::string::npos;)
        loneCr.erase(p + 1, 1);
    loneCr.insert(secondEnd, "\n");
    std::string longLine = good;
    longLine.insert(secondEnd, std::string(1 << 20, 'A'));
    return {
        {stem + "-bom", "\xEF\xBB\xBF" + good},
        {stem + "-nul", replaced(eq + 1, 0, std::string(1, '\0'))},
        {stem + "-lone-cr", loneCr},
        {stem + "-lf-only",
         [&] {
             std::string s = good;
             for (std::size_t p; (p = s.find('\r')) != std::string::npos;)
                 s.erase(p, 1);
             return s;
         }()},
        {stem + "-1mb-line", longLine},
        {stem + "-no-equals", replaced(eq, 1, "")},
        {stem + "-eof-mark", replaced(secondEnd, 0, "\x1A")},
        {stem + "-overflow", good + "\r\n[KEYBOX]\r\nLEFT=2147483648\r\nTOP=-2147483649\r\n"
                                    "COLOR=$100000000\r\nWIDTH=99999999999999999999\r\n"},
        {stem + "-hex-no-digits", good + "\r\n[KEYBOX]\r\nLEFT=0x\r\nTOP=$\r\nCOLOR=x\r\n"
                                         "WIDTH=-0x1\r\nHEIGHT= \r\n"},
        {stem + "-dotdot-picture", good + "\r\n[BTNOPEN]\r\nPICTUREUP=../../etc/x.bmp\r\n"
                                          "PICTUREDOWN=..\\..\\x.jpg\r\n"},
    };
}

inline std::vector<TSeed> SkinSeeds(const std::string& sourceDir) {
    std::vector<TSeed> seeds;
    for (const char* skin : {"default", "graphite"}) {
        const std::string good = ReadSeedFile(sourceDir + "/Skins/" + skin + "/skin.ini");
        seeds.push_back({std::string(skin) + "-skin", good});
        for (auto& s : OneDefectEach(std::string(skin) + "-skin", good))
            seeds.push_back(std::move(s));
    }
    return seeds;
}

inline std::vector<TSeed> SettingsSeeds() {
    const std::string good = "[Config]\r\nSkin=/opt/calyxor/Skins/default/skin.ini\r\n"
                             "SFX=/opt/calyxor/SFX/default.sfx\r\n";
    std::vector<TSeed> seeds{
        {"settings", good},
        {"settings-300-char-line", "Skin=" + std::string(300, 's') + "\r\nSFX=after\r\n"},
        {"settings-small-keys", "skin=a=b\r\nsfx=\r\n Skin=x\r\nSFX =y\r\n"}};
    for (auto& s : OneDefectEach("settings", good))
        seeds.push_back(std::move(s));
    return seeds;
}

inline std::vector<TSeed> DecryptNameSeeds() {
    return {{"plain", "/home/u/report.doc.ash"},
            {"twice", "/home/u/x.ash.y.ash"},
            {"no-ext", "/home/u/readme"},
            {"starts-with-ext", "/home/u/.ash"},
            {"dotted-folder", "/a.b/readme"},
            {"nul", std::string("/a/b\0c.ash", 10)},
            {"only-slash", "/"},
            {"empty", ""},
            {"dotdot", "../../x.ash"}};
}
