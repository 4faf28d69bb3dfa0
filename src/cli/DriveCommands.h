#pragma once
// stowra-cli drives and stowra-cli probe: the drive list as the drive dialog shows it, and the
// media dialog's "自動取得" on the command line. The transport comes from a factory so the
// commands can run against emulated drives.

#include <CLI/CLI.hpp>
#include <ostream>
#include <string>
#include <vector>

#include "drive/BlankMediaProbe.h"
#include "drive/DriveList.h"

namespace stowra::cli {

struct DrivesOptions {
    bool json = false;
};

struct ProbeOptions {
    std::string device;  // a device path as `drives` prints it; empty: the first drive
    bool atip = true;    // read the ATIP lead-in of CD media, as the default options do
    bool json = false;
};

void AddDrivesOptions(CLI::App& command, DrivesOptions& options);
void AddProbeOptions(CLI::App& command, ProbeOptions& options);

// Both return the exit code: 0 only on success.
int RunDrivesCommand(const DrivesOptions& options, const TransportFactory& makeTransport, std::ostream& out,
                     std::ostream& err);
int RunProbeCommand(const ProbeOptions& options, const TransportFactory& makeTransport, std::ostream& out,
                    std::ostream& err);

}  // namespace stowra::cli
