#include "sim/simulated_port.hpp"

#include <gtest/gtest.h>

#include "link/controller_link.hpp"
#include "link/parameter_map.hpp"
#include "sim/controller_model.hpp"

namespace korvel::sim {
namespace {

struct World {
  VirtualClock clock;
  ControllerModel model;
  SimulatedPort port{model, clock};
  ControllerLink link{port};
};

TEST(SimulatedPortTest, LinkConnectsAndReadsEveryRecord) {
  World w;
  w.link.ReadIdentity();
  EXPECT_TRUE(w.link.Connected());
  EXPECT_EQ(w.link.IdentityRecord[2], 0x25);
  EXPECT_EQ(w.link.GetControllerVariant(), 2u);
  w.link.ReadLiveData();
  w.link.ReadConfig();
  w.link.ReadOptions();
  EXPECT_EQ(w.link.LiveDataRecord[0], 0x65);
  EXPECT_EQ(w.link.LiveDataRecord[4], w.model.Parameter(18));
  for (const ParameterInfo& p : ParameterMap) {
    EXPECT_EQ(StoredParameterValue(w.link, static_cast<int>(&p - ParameterMap)), w.model.Parameter(p.address))
        << p.name;
  }
  ASSERT_EQ(w.port.frames.size(), 4u);
  EXPECT_EQ(w.port.frames[1], (std::array<uint8_t, 4>{0x65, 0x02, 0x02, 0x69}));
}

}  // namespace
}  // namespace korvel::sim
