#pragma once

// The instrument commands of a document connected to a simulated instrument "hill" on
// COM2, for the tests with and without windows.
#include <kestal/instrument/InstrumentCommands.h>

#include "ConnectionFixture.h"

#include <functional>
#include <memory>

namespace varno::kestal::testing {

class InstrumentFixture : public ConnectionFixture {
protected:
    void SetUp() override
    {
        ConnectionFixture::SetUp();
        commands = std::make_unique<InstrumentCommands>(*doc);
    }

    void TearDown() override
    {
        commands.reset();
        ConnectionFixture::TearDown();
    }

    // Connects with the password ("varno": full access, "read": restricted); tweak changes
    // the instrument before its history is recorded. The messages start empty.
    void connect(const QString& password = "varno", const std::function<void(varno::sim::Instrument&)>& tweak = {})
    {
        addInstrument("hill", "COM2", "", 3, 3, tweak);
        station("Hill Top", "COM2", password);
        doc->OnConnect();
        ASSERT_TRUE(doc->IsConnected()) << ui.texts().join("|").toStdString();
        ui.clear();
    }

    // Lets the bench drop every open line to the instrument.
    void hangUp()
    {
        modify("hill", [](varno::sim::Instrument& in) { ++in.hangups; });
    }

    InstrumentSession& session() { return commands->Session(); }
    QStringList messages() const { return ui.texts(); }

    std::unique_ptr<InstrumentCommands> commands;
};

} // namespace varno::kestal::testing
