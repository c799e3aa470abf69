// SPDX-License-Identifier: MIT
#pragma once
// The real window, made in an application folder of its own, with what it would show recorded
// instead of shown.

#include "app/MainForm.h"
#include "errors/Errors.h"
#include "platform/Dialogs.h"
#include "support/FormHarness.h"
#include "support/TempDir.h"

#include <QApplication>
#include <QImage>
#include <filesystem>
#include <gtest/gtest.h>

inline std::vector<uint8_t> Bytes(const std::string& s) {
    return {s.begin(), s.end()};
}

class MainFormTest : public ::testing::Test {
protected:
    void SetUp() override {
        BuildPrimeTable();
        QApplication::setApplicationName("Calyxor"); // as the program's start sets it
        Dialogs::SetRecorder([this](const QString& caption, const QString& text) {
            Shown.push_back(caption.toStdString() + ": " + text.toStdString());
        });
        OldCwd = std::filesystem::current_path();
        std::filesystem::current_path(Dir.Path);
    }
    void TearDown() override {
        Form.reset();
        std::filesystem::current_path(OldCwd);
        Dialogs::SetRecorder(nullptr);
    }

    std::string AppDir() const { return Dir.Path + "/"; }

    void WriteSettings(const std::string& skin, const std::string& sfx) {
        WriteAll(Dir / "calyxor.ini",
                 Bytes("[Config]\r\nSkin=" + skin + "\r\nSFX=" + sfx + "\r\n"));
    }
    // Settings naming the shipped default skin and the built module.
    void UseShippedFiles() {
        WriteSettings(BuildDir + "/Skins/default/skin.ini", BuildDir + "/SFX/default.sfx");
    }
    TForm1& Make(std::vector<std::string> args = {}) {
        Form = std::make_unique<TForm1>(std::move(args), AppDir());
        return *Form;
    }
    // The window as it is built, before any skin: the missing settings file stops the start
    // before the skin loads. The message that says so is forgotten.
    TForm1& MakeUnskinned() {
        std::filesystem::remove(Dir / "calyxor.ini");
        TForm1& f = Make();
        Shown.clear();
        return f;
    }
    void WriteSkin(const std::string& name, const std::string& body) {
        WriteAll(Dir / name, Bytes("<CALYXOR SKIN FILE>\r\n" + body));
    }
    static void MakeBmp(const std::string& path, int w, int h, QColor color) {
        QImage img(w, h, QImage::Format_RGB888);
        img.fill(color);
        ASSERT_TRUE(img.save(QString::fromStdString(path), "BMP"));
    }

    const std::string BuildDir = CALYXOR_BUILD_DIR;
    TTempDir Dir;
    std::filesystem::path OldCwd;
    std::vector<std::string> Shown;
    std::unique_ptr<TForm1> Form;
};
