// A model session whose transfers go to a scripted communication layer.
#pragma once

#include <array>
#include <string>

#include "fake_communication.h"
#include "model_fixture.h"

namespace tavrin::model::testing {

class TransferTest : public ModelTest {
 protected:
  // Loads the description and connects the session to the fake bus.
  void loadDevice(std::string_view description, CommunicationType type = CommunicationType::Profibus) {
    ASSERT_TRUE(load(description));
    session.setCommunication(&bus, type);
  }
  const EddNode& object(std::string_view name) { return *session.description().findObject(id(name)); }
  Transfer& transfer() { return session.transfer(); }
  const std::vector<std::string>& calls() const { return bus.calls(); }
  ValueState state(std::string_view name) { return entry(name)->state; }

  FakeCommunication bus;
};

}  // namespace tavrin::model::testing
