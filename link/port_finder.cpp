#include "link/port_finder.hpp"

#include <cstdio>
#include <thread>

#include "link/controller_link.hpp"

namespace korvel {

PortProbe ProbePort(SerialPort& port, const std::string& device) {
  PortProbe probe;
  ControllerLink link(port);
  if (!link.SetPortName(device.c_str())) {
    probe.answer = ProbeAnswer::kCannotOpen;
    probe.reason = "the device path is too long";
    return probe;
  }
  bool garbled = false;
  // As korvelctl connects: three identity polls, the link's own count before it declares a
  // controller lost. A port that does not open is not tried again.
  for (int attempt = 0; attempt < 3 && !link.Connected(); ++attempt) {
    const ExchangeOutcome outcome = link.ReadIdentity();
    if (outcome == ExchangeOutcome::kPortNotOpen) {
      probe.answer = link.state.open_busy ? ProbeAnswer::kBusy : ProbeAnswer::kCannotOpen;
      probe.reason = link.state.open_error;
      return probe;
    }
    garbled = garbled || outcome == ExchangeOutcome::kBadChecksum;
  }
  if (!link.Connected()) {
    link.ClosePort();
    probe.answer = garbled ? ProbeAnswer::kGarbled : ProbeAnswer::kSilent;
    return probe;
  }
  probe.variant = link.GetControllerVariant();
  probe.firmware = link.state.firmware_version;
  probe.answer = probe.variant == 2 ? ProbeAnswer::kController : ProbeAnswer::kOtherVariant;
  link.ClosePort();
  return probe;
}

std::vector<PortProbe> ProbePorts(const std::vector<std::string>& devices, const SerialPortFactory& make_port) {
  std::vector<PortProbe> probes(devices.size());
  std::vector<std::unique_ptr<SerialPort>> ports;
  ports.reserve(devices.size());
  for (const std::string& device : devices) ports.push_back(make_port(device));
  // Each thread owns its port and writes only its own result slot.
  std::vector<std::thread> threads;
  threads.reserve(devices.size());
  for (size_t i = 0; i < devices.size(); ++i) {
    threads.emplace_back([&, i] {
      if (ports[i] == nullptr) {
        probes[i].answer = ProbeAnswer::kCannotOpen;
        probes[i].reason = "no serial port for this device";
        return;
      }
      probes[i] = ProbePort(*ports[i], devices[i]);
    });
  }
  for (std::thread& thread : threads) thread.join();
  return probes;
}

std::string ProbeAnswerText(const PortProbe& probe) {
  switch (probe.answer) {
    case ProbeAnswer::kController: {
      // As the program-information box shows it: 2.05 for variant 2, firmware 5.
      char text[48];
      std::snprintf(text, sizeof text, "variant 2, firmware %.2f",
                    static_cast<double>(static_cast<float>(probe.variant * 100 + probe.firmware) / 100.0f));
      return text;
    }
    case ProbeAnswer::kOtherVariant:
      return "another variant (" + std::to_string(probe.variant) + ")";
    case ProbeAnswer::kSilent:
      return "silent";
    case ProbeAnswer::kGarbled:
      return "garbled replies (bad checksums)";
    case ProbeAnswer::kBusy:
      return "busy";
    case ProbeAnswer::kCannotOpen:
      return probe.reason.empty() ? "cannot open" : "cannot open: " + probe.reason;
  }
  return {};
}

}  // namespace korvel
