#pragma once
// The process-wide state the windows share. src/app owns the one instance and
// hands it to every window; nothing else of this kind lives in globals.
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "core/DeviceConfig.h"
#include "core/FileSystem.h"
#include "core/IniFile.h"
#include "core/TerminalLink.h"
#include "terminal/ConnectionRules.h"

namespace aktarim {

class Tayarlarform;
class Tpersonelform;
class Tuyariform;

struct AppState {
    // Holds cihazlar.ini, yedekler/ and personel/: the --home folder, or the
    // executable's folder.
    std::string programFolder;
    // Every file the windows write goes through this (tests fail chosen calls).
    FileSystem* fileSystem = &RealFileSystem();

    // Opened on programFolder/cihazlar.ini; the main window frees it when it
    // closes.
    std::unique_ptr<IniFile> configFile;
    // The device table and recordFilePath.
    Configuration config;

    // Number of the device being transferred (1-based).
    int32_t transferRow = 0;
    // Answer of the warning dialog.
    int dialogAnswer = 0;

    // Gives each window that talks to terminals its own link: the wire link in
    // the program, an in-memory link in tests.
    std::function<std::unique_ptr<TerminalLink>()> makeLink;

    // Connection state of the settings and personnel windows: selectedRow,
    // settingsConnected, currentMachineNumber, personnelConnected and the
    // link parameters.
    ConnectionState connection;

    // The windows created after the main window; not owned.
    Tayarlarform* ayarlarform = nullptr;
    Tpersonelform* personelform = nullptr;
    Tuyariform* uyariform = nullptr;

    std::string ConfigFilePath() const { return JoinPath(programFolder, kConfigFileName); }
};

class WireTrace;

// Sets makeLink to give wire links whose timeouts and serial devices are read
// from configFile at the moment a window makes its link, each tracing its
// frames to trace when one is given.
void UseWireLinks(AppState& state, std::shared_ptr<WireTrace> trace = nullptr);

}  // namespace aktarim
