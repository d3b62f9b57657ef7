#include "sim/engine.hpp"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace korvel::sim {

namespace {

constexpr double kPi = 3.14159265358979323846;
constexpr double kColdIdleExtraRpm = 250.0;  // a cold engine idles higher
constexpr double kProbeHeatUpS = 20.0;       // heated probe: signal after this long running
constexpr double kThermostatSwingC = 1.2;
constexpr double kThermostatPeriodS = 90.0;

uint64_t SplitMix(uint64_t x) {
  x += 0x9E3779B97F4A7C15ull;
  x = (x ^ (x >> 30)) * 0xBF58476D1CE4E5B9ull;
  x = (x ^ (x >> 27)) * 0x94D049BB133111EBull;
  return x ^ (x >> 31);
}

double Approach(double value, double target, double max_step) {
  if (value < target) return std::min(target, value + max_step);
  return std::max(target, value - max_step);
}

}  // namespace

void Rng::Seed(uint64_t seed) {
  state_ = SplitMix(seed);
  if (state_ == 0) state_ = 0x2545F4914F6CDD1Dull;
}

uint64_t Rng::Next() {
  state_ ^= state_ >> 12;
  state_ ^= state_ << 25;
  state_ ^= state_ >> 27;
  return state_ * 0x2545F4914F6CDD1Dull;
}

double Rng::Uniform() { return static_cast<double>(Next() >> 11) * (1.0 / 9007199254740992.0); }

double Rng::Range(double low, double high) { return low + (high - low) * Uniform(); }

bool Rng::Chance(double probability) { return Uniform() < probability; }

const char* ScenarioName(Scenario scenario) {
  switch (scenario) {
    case Scenario::kDrive:
      return "drive";
    case Scenario::kIdle:
      return "idle";
    case Scenario::kCruise:
      return "cruise";
    case Scenario::kStopped:
      return "stopped";
  }
  return "drive";
}

bool ParseScenario(const char* name, Scenario& scenario) {
  for (Scenario s : {Scenario::kDrive, Scenario::kIdle, Scenario::kCruise, Scenario::kStopped}) {
    if (std::strcmp(name, ScenarioName(s)) == 0) {
      scenario = s;
      return true;
    }
  }
  return false;
}

Engine::Engine(const EngineSettings& settings)
    : settings_(settings), rng_(settings.seed), temperature_c_(settings.ambient_c) {
  phase_left_s_ = rng_.Range(8.0, 14.0);  // the fitter lets a cold engine idle first
}

void Engine::MakeWarm() {
  temperature_c_ = kOperatingTemperatureC;
  thermostat_phase_ = 0.0;
}

double Engine::IdleRpm() const {
  const double span = kOperatingTemperatureC - settings_.ambient_c;
  double cold = span > 0.0 ? (kOperatingTemperatureC - temperature_c_) / span : 0.0;
  cold = std::clamp(cold, 0.0, 1.0);
  return kWarmIdleRpm + kColdIdleExtraRpm * cold;
}

double Engine::ThrottleVolts() const { return 0.5 + 4.0 * throttle_; }

void Engine::Drive(double dt_s) {
  // Idle wanders a little: low-passed noise of some tens of rpm.
  idle_jitter_ += (rng_.Range(-140.0, 140.0) - idle_jitter_) * std::min(1.0, dt_s * 3.0);
  const double idle = IdleRpm() + idle_jitter_;
  double rise = 400.0;   // rpm per second
  double fall = 400.0;
  double throttle = 0.0;

  switch (settings_.scenario) {
    case Scenario::kStopped:
      target_rpm_ = 0.0;
      fall = 2000.0;
      break;
    case Scenario::kIdle:
      target_rpm_ = idle;
      break;
    case Scenario::kCruise:
      if (running_s_ < 8.0) {
        target_rpm_ = idle;
      } else {
        target_rpm_ = 2600.0 + idle_jitter_;
        throttle = 0.22;
        rise = 700.0;
      }
      break;
    case Scenario::kDrive:
      switch (phase_) {
        case Phase::kIdle:
          target_rpm_ = idle;
          phase_left_s_ -= dt_s;
          if (phase_left_s_ <= 0.0 && rpm_ > 0.0) {
            phase_ = Phase::kAccelerate;
            // Now and then the fitter revs past the LPG-off speed.
            target_rpm_ = rng_.Chance(0.15) ? rng_.Range(5700.0, 6300.0) : rng_.Range(2600.0, 3600.0);
          }
          break;
        case Phase::kAccelerate:
          throttle = std::min(1.0, 0.3 + 0.7 * (target_rpm_ - kWarmIdleRpm) / 5500.0);
          rise = 900.0 + 600.0 * throttle;
          if (rpm_ >= target_rpm_ - 30.0) {
            phase_ = Phase::kHold;
            phase_left_s_ = target_rpm_ > 5000.0 ? rng_.Range(2.0, 3.0) : rng_.Range(3.0, 6.0);
          }
          break;
        case Phase::kHold:
          throttle = 0.08 + 0.6 * (target_rpm_ - kWarmIdleRpm) / 5500.0;
          rise = 300.0;
          phase_left_s_ -= dt_s;
          if (phase_left_s_ <= 0.0) phase_ = Phase::kDecelerate;
          break;
        case Phase::kDecelerate:
          target_rpm_ = idle;
          fall = 650.0;
          if (rpm_ <= idle + 60.0) {
            phase_ = Phase::kIdle;
            phase_left_s_ = rng_.Range(5.0, 12.0);
          }
          break;
      }
      break;
  }

  const double hold_wobble = phase_ == Phase::kHold ? rng_.Range(-15.0, 15.0) : 0.0;
  if (settings_.scenario == Scenario::kStopped) {
    rpm_ = Approach(rpm_, 0.0, fall * dt_s);
  } else if (rpm_ < 1.0 && target_rpm_ > 0.0) {
    rpm_ = 250.0;  // the starter turns, the engine fires
  } else {
    rpm_ = Approach(rpm_, target_rpm_ + hold_wobble, (target_rpm_ > rpm_ ? rise : fall) * dt_s);
  }
  // Throttle sensor: the pedal follows the driver, with a count or so of noise on the signal.
  throttle_ = std::clamp(throttle + rng_.Range(-0.002, 0.002), 0.0, 1.0);
  overrun_ = throttle < 0.01 && rpm_ > idle + 150.0;
}

void Engine::Step(double dt_s) {
  Drive(dt_s);

  if (running()) {
    running_s_ += dt_s;
    if (temperature_c_ < kOperatingTemperatureC) {
      const double load = std::clamp((rpm_ - kWarmIdleRpm) / 2700.0, 0.0, 1.5);
      const double rate = (kOperatingTemperatureC - settings_.ambient_c) / settings_.warmup_s;
      temperature_c_ = std::min(kOperatingTemperatureC,
                                temperature_c_ + dt_s * rate * (0.75 + 0.5 * load));
      thermostat_phase_ = 0.0;
    } else {
      // The thermostat holds the coolant around operating temperature.
      thermostat_phase_ += dt_s * 2.0 * kPi / kThermostatPeriodS;
      temperature_c_ = kOperatingTemperatureC + kThermostatSwingC * std::sin(thermostat_phase_);
    }
  } else {
    running_s_ = 0.0;
    temperature_c_ -= dt_s * (temperature_c_ - settings_.ambient_c) / 1800.0;
  }

  probe_warm_ = running_s_ >= kProbeHeatUpS;
  double target_mixture;
  closed_loop_ = false;
  if (!probe_warm_) {
    target_mixture = 0.02;  // a cold probe gives no voltage: reads lean
  } else if (overrun_ && rpm_ > 1200.0) {
    target_mixture = 0.02;  // fuel cut on overrun
  } else if (phase_ == Phase::kAccelerate && settings_.scenario == Scenario::kDrive) {
    target_mixture = 0.92;  // acceleration enrichment
  } else {
    // Closed loop: the mixture swings rich and lean about once a second.
    closed_loop_ = true;
    lambda_phase_ += dt_s * 2.0 * kPi * (0.85 + rpm_ / 8000.0);
    if (lambda_phase_ > 2.0 * kPi) lambda_phase_ -= 2.0 * kPi;
    target_mixture = 0.5 + 0.45 * std::tanh(2.5 * std::sin(lambda_phase_));
  }
  mixture_ += (target_mixture - mixture_) * std::min(1.0, dt_s / 0.08);
  mixture_ = std::clamp(mixture_ + rng_.Range(-0.01, 0.01), 0.0, 1.0);
}

}  // namespace korvel::sim
