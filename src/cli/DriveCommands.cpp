#include "cli/DriveCommands.h"

#include <charconv>
#include <nlohmann/json.hpp>
#include <optional>

#include "cli/JsonWriter.h"
#include "platform/DriveAccess.h"
#include "platform/PathInfo.h"
#include "platform/Text.h"
#include "platform/Translation.h"

namespace stowra::cli {

namespace {

void PrintJson(const nlohmann::json& doc, std::ostream& out) {
    out << DumpJson(doc) << '\n';
}

// The same device under two spellings, for example /dev/cdrom and the /dev/sr0 it points to, or
// e: and E: on Windows.
bool SameDevice(const std::string& listed, const std::string& asked) {
    if (NamesDrive(asked, listed))
        return true;
    const std::optional<std::string> a = ResolvePath(listed);
    const std::optional<std::string> b = ResolvePath(asked);
    return a && b && *a == *b;
}

// The media dialog of the command line: the drive is chosen by the command line, the fields
// and the message are kept for printing.
class CliProbeDialog : public ProbeDialog {
public:
    explicit CliProbeDialog(std::string device) : device_(std::move(device)) {}

    void SetBusy(bool) override {}
    void ShowError(const std::string& message) override { error = message; }
    bool ChooseDrive(SCSI& transport) override {
        if (device_.empty()) {
            transport.selectDevice(0);
            return true;
        }
        for (int i = 0; i < transport.deviceCount(); ++i) {
            transport.selectDevice(i);
            std::string vendor, product, address, revision;
            transport.deviceInfo(vendor, product, address, revision);
            if (SameDevice(address, device_))
                return true;  // it stays selected
        }
        unknownDevice = true;
        return false;
    }
    void SetClusterText(const std::string& text) override { cluster = text; }
    void SetNameText(const std::string& text) override { name = text; }
    void SetTotalText(const std::string& text) override { total = text; }

    std::optional<std::string> error;
    bool unknownDevice = false;
    std::string cluster, name;
    std::optional<std::string> total;  // written last: the probe succeeded

private:
    std::string device_;
};

// The probe writes its numbers as decimal text; JSON carries them as numbers.
nlohmann::json Number(const std::string& text) {
    std::uint64_t value = 0;
    auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (ec != std::errc() || end != text.data() + text.size())
        return text;
    return value;
}

int Refuse(const std::string& message, const nlohmann::json& document, bool json, std::ostream& out,
           std::ostream& err) {
    err << message << '\n';
    if (json)
        PrintJson(document, out);
    return 1;
}

}  // namespace

void AddDrivesOptions(CLI::App& command, DrivesOptions& o) {
    command.add_flag("--json", o.json, "Print one JSON document");
}

void AddProbeOptions(CLI::App& command, ProbeOptions& o) {
    command.add_option("device", o.device,
                       "Device of the drive as `drives` lists it (default: the first drive)");
    command.add_flag("--atip,!--no-atip", o.atip,
                     "Name a CD's manufacturer from its ATIP lead-in (default: on)");
    command.add_flag("--json", o.json, "Print one JSON document");
}

int RunDrivesCommand(const DrivesOptions& options, const TransportFactory& makeTransport, std::ostream& out,
                     std::ostream& err) {
    std::unique_ptr<SCSI> transport = makeTransport();
    const std::string problem = transport->problem();
    if (!transport->available())
        return Refuse(problem.empty() ? Tr(kNoLibraryMessage) : problem.c_str(), nlohmann::json::array(),
                      options.json, out, err);
    if (transport->deviceCount() == 0)
        return Refuse(problem.empty() ? Tr(kNoDriveMessage) : problem.c_str(), nlohmann::json::array(),
                      options.json, out, err);

    const std::vector<DriveLine> lines = ListDriveLines(*transport);
    if (options.json) {
        nlohmann::json doc = nlohmann::json::array();
        for (const DriveLine& l : lines) {
            doc.push_back({{"address", l.address},
                           {"vendor", l.vendor},
                           {"product", l.product},
                           {"revision", l.revision}});
            if (!l.problem.empty()) {
                doc.back()["problem"] = l.problem;
            }
        }
        PrintJson(doc, out);
    } else {
        for (const DriveLine& l : lines) out << l.Text() << '\n';
    }
    return 0;
}

int RunProbeCommand(const ProbeOptions& options, const TransportFactory& makeTransport, std::ostream& out,
                    std::ostream& err) {
    CliProbeDialog dialog(options.device);
    ProbeBlankMedia(dialog, makeTransport, options.atip);

    std::string message;
    if (dialog.error) {
        message = *dialog.error;
    } else if (dialog.unknownDevice) {
        message = "no such drive: " + options.device + " (stowra-cli drives lists them)";
    } else if (!dialog.total) {
        message = "the probe did not finish";
    }
    if (!message.empty())
        return Refuse(message, {{"error", message}}, options.json, out, err);

    if (options.json) {
        PrintJson(
            {{"cluster", Number(dialog.cluster)}, {"name", dialog.name}, {"total", Number(*dialog.total)}},
            out);
    } else {
        out << Format(Tr("セクタサイズ = %s バイト\n"), dialog.cluster.c_str())
            << Format(Tr("メディア名 = %s\n"), dialog.name.c_str())
            << Format(Tr("総サイズ = %s セクタ\n"), dialog.total->c_str());
    }
    return 0;
}

}  // namespace stowra::cli
