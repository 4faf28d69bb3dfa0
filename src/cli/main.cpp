// stowra-cli: the headless front end of the packing engine.

#include <CLI/CLI.hpp>
#include <clocale>
#include <cstdio>
#include <iostream>
#include <string>
#include <vector>

#include "Version.h"
#ifdef STOWRA_WITH_BURN
#include "cli/BurnCommand.h"
#include "cli/ImageCommand.h"
#endif
#include "cli/DriveCommands.h"
#include "cli/ImageSizeCommand.h"
#include "cli/MoveCommand.h"
#include "cli/ProfilesCommand.h"
#include "cli/ScanCommand.h"
#include "cli/VerifyCommand.h"
#include "cli/WhereCommand.h"
#include "platform/Process.h"
#include "platform/Text.h"
#include "platform/Translation.h"

int main(int argc, char** argv) {
#ifdef _WIN32
    // The character type only: numbers keep their decimal point (the C runtime's printf follows
    // LC_NUMERIC on Windows).
    std::setlocale(LC_CTYPE, "");
#else
    std::setlocale(LC_ALL, "");
#endif
    stowra::RaiseOpenFileLimit();

    CLI::App app{"Spreads the files of one folder over recordable optical discs", "stowra-cli"};
    // Options start with "-" everywhere: on Windows a path such as "/dev/sr1" or "/photos" must
    // not be taken for an option. Subcommands inherit this.
    app.allow_windows_style_options(false);
    app.set_version_flag("--version", std::string("stowra ") + stowra::kVersion,
                         "Print the version and exit");
    app.require_subcommand(1);

    stowra::cli::ScanOptions scan;
    CLI::App* scanCommand = app.add_subcommand("scan", "Scan a folder and pack its files onto discs");
    stowra::cli::AddScanOptions(*scanCommand, scan);

    stowra::cli::ProfilesOptions profiles;
    CLI::App* profilesCommand =
        app.add_subcommand("profiles", "Show the settings file as the window loads it");
    stowra::cli::AddProfilesOptions(*profilesCommand, profiles);

    stowra::cli::MoveOptions move;
    CLI::App* moveCommand =
        app.add_subcommand("move", "Scan, pack and move each disc's files into a folder of its own");
    stowra::cli::AddMoveOptions(*moveCommand, move);

    stowra::cli::DrivesOptions drives;
    CLI::App* drivesCommand =
        app.add_subcommand("drives", "List the optical drives as the drive dialog shows them");
    stowra::cli::AddDrivesOptions(*drivesCommand, drives);

    stowra::cli::ProbeOptions probe;
    CLI::App* probeCommand =
        app.add_subcommand("probe", "Read the blank disc in a drive: sector size, name, total");
    stowra::cli::AddProbeOptions(*probeCommand, probe);

    stowra::cli::ImageSizeOptions imageSize;
    CLI::App* imageSizeCommand =
        app.add_subcommand("image-size", "Sectors of the disc image each folder makes, file system included");
    stowra::cli::AddImageSizeOptions(*imageSizeCommand, imageSize);

    stowra::cli::VerifyOptions verify;
    CLI::App* verifyCommand =
        app.add_subcommand("verify", "Check a disc or a disc folder against its checksum file");
    stowra::cli::AddVerifyOptions(*verifyCommand, verify);

    stowra::cli::WhereOptions where;
    CLI::App* whereCommand = app.add_subcommand(
        "where", "Which disc holds the files whose path matches, from the move's catalogues");
    stowra::cli::AddWhereOptions(*whereCommand, where);
#ifdef STOWRA_WITH_BURN
    stowra::cli::ImageOptions image;
    CLI::App* imageCommand = app.add_subcommand("image", "Write the disc image of a disc folder to a file");
    stowra::cli::AddImageOptions(*imageCommand, image);

    stowra::cli::BurnCommandOptions burn;
    CLI::App* burnCommand =
        app.add_subcommand("burn", "Burn each disc folder onto a blank disc and read it back to check it");
    stowra::cli::AddBurnOptions(*burnCommand, burn);
#endif

    std::vector<std::string> arguments;
    std::string refused;
    if (!stowra::ProgramArguments(argc, argv, arguments, refused)) {
        std::fprintf(
            stderr, "%s\n",
            stowra::Format(stowra::Tr("この引数には、このシステムの文字コードで表せない文字があります: %s"),
                           refused.c_str())
                .c_str());
        return 2;
    }
    std::vector<char*> pointers;
    for (std::string& a : arguments) {
        pointers.push_back(a.data());
    }
    pointers.push_back(nullptr);
    int count = static_cast<int>(arguments.size());
    char** values = pointers.data();
    CLI11_PARSE(app, count, values);

    stowra::IgnoreClosedOutput();
    int code = 1;
    try {
        if (scanCommand->parsed()) {
            code = stowra::cli::RunScanCommand(scan);
        } else if (moveCommand->parsed()) {
            code = stowra::cli::RunMoveCommand(move);
        } else if (drivesCommand->parsed()) {
            code = stowra::cli::RunDrivesCommand(drives, stowra::MakeSystemTransport, std::cout, std::cerr);
        } else if (probeCommand->parsed()) {
            code = stowra::cli::RunProbeCommand(probe, stowra::MakeSystemTransport, std::cout, std::cerr);
        } else if (imageSizeCommand->parsed()) {
            code = stowra::cli::RunImageSizeCommand(imageSize, std::cout, std::cerr);
        } else if (verifyCommand->parsed()) {
            code = stowra::cli::RunVerifyCommand(verify, std::cout, std::cerr);
        } else if (whereCommand->parsed()) {
            code = stowra::cli::RunWhereCommand(where, std::cout, std::cerr);
#ifdef STOWRA_WITH_BURN
        } else if (imageCommand->parsed()) {
            code = stowra::cli::RunImageCommand(image, std::cout, std::cerr);
        } else if (burnCommand->parsed()) {
            code = stowra::cli::RunBurnCommand(burn, std::cin, std::cout, std::cerr);
#endif
        } else if (profilesCommand->parsed()) {
            code = stowra::cli::RunProfilesCommand(profiles);
        }
    } catch (const std::exception& e) {
        std::fprintf(stderr, "%s\n", e.what());
        return 2;
    }
    std::cout.flush();
    // Output that did not arrive whole (its reader went away) is a command cut short.
    if ((std::fflush(stdout) != 0 || std::ferror(stdout) != 0 || !std::cout) && code == 0) {
        code = stowra::cli::kExitCancelled;
    }
    return code;
}
