#pragma once
#include <cstdint>

namespace korvel::sim {

// Small deterministic generator (xorshift64*): the same seed gives the same engine on every
// platform and compiler, which the standard distributions do not promise.
class Rng {
 public:
  explicit Rng(uint64_t seed = 1) { Seed(seed); }
  void Seed(uint64_t seed);
  uint64_t Next();
  double Uniform();                        // [0, 1)
  double Range(double low, double high);   // [low, high)
  bool Chance(double probability);

 private:
  uint64_t state_ = 1;
};

// What the car does.
enum class Scenario {
  kDrive,    // cold start, idle, revs up to about 3500 rpm (now and then above 5500), decelerations
  kIdle,     // cold start and idle only
  kCruise,   // cold start, then a steady 2600 rpm (reaches the switch-over as soon as it is warm)
  kStopped,  // ignition on, engine not turning
};

const char* ScenarioName(Scenario scenario);
// Parses "drive", "idle", "cruise", "stopped"; false when the name is unknown.
bool ParseScenario(const char* name, Scenario& scenario);

struct EngineSettings {
  Scenario scenario = Scenario::kDrive;
  double ambient_c = 18.0;
  // Seconds a driven engine needs from ambient to operating temperature (about 85 degrees).
  double warmup_s = 240.0;
  uint64_t seed = 1;
};

constexpr double kOperatingTemperatureC = 85.0;
constexpr double kWarmIdleRpm = 800.0;

// The car seen through the controller's inputs: engine speed, throttle, coolant temperature and
// the lambda probe's mixture signal. Moved by fixed steps.
class Engine {
 public:
  explicit Engine(const EngineSettings& settings = EngineSettings{});

  void Step(double dt_s);
  // Brings the coolant to operating temperature at once.
  void MakeWarm();

  const EngineSettings& settings() const { return settings_; }

  double rpm() const { return rpm_; }
  bool running() const { return rpm_ > 100.0; }
  // Throttle opening 0..1 and the throttle-position sensor voltage (0.5 V closed .. 4.5 V open).
  double throttle() const { return throttle_; }
  double ThrottleVolts() const;
  double temperature_c() const { return temperature_c_; }
  // Mixture seen by the probe: 0 lean .. 1 rich; below 0.5 lean, above rich.
  double mixture() const { return mixture_; }
  // A cold probe gives no signal yet.
  bool probe_warm() const { return probe_warm_; }
  // Throttle closed while the engine turns above idle (overrun, fuel cut possible).
  bool overrun() const { return overrun_; }
  // The mixture follows the fuel trim (warm probe, no fuel cut, no enrichment).
  bool closed_loop() const { return closed_loop_; }
  double running_s() const { return running_s_; }

 private:
  enum class Phase { kIdle, kAccelerate, kHold, kDecelerate };
  void Drive(double dt_s);
  double IdleRpm() const;

  EngineSettings settings_;
  Rng rng_;
  Phase phase_ = Phase::kIdle;
  double phase_left_s_ = 0.0;
  double target_rpm_ = 0.0;
  double rpm_ = 0.0;
  double idle_jitter_ = 0.0;
  double throttle_ = 0.0;
  double temperature_c_ = 0.0;
  double thermostat_phase_ = 0.0;
  double lambda_phase_ = 0.0;
  double mixture_ = 0.5;
  bool probe_warm_ = false;
  bool overrun_ = false;
  bool closed_loop_ = false;
  double running_s_ = 0.0;
};

}  // namespace korvel::sim
