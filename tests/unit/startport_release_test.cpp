// startport replaced from inside the release of the object it held (a host's terminate handler that
// assigns startport): every object is released once, and startport holds the last one assigned.
#include <gtest/gtest.h>

#include <memory>

#include "clicker/clicker.h"
#include "common/runtime_error.h"
#include "support/scripted_rig.h"

namespace harrowtally {
namespace {

// An object that, when released, may assign startport a new object of its kind.
class Reassigning : public ObjectRef {
public:
    Reassigning(Clicker& clicker, int& alive, bool reassign) : clicker_(clicker), alive_(alive), reassign_(reassign) {
        ++alive_;
    }
    ~Reassigning() override {
        --alive_;
        if (reassign_) clicker_.set_startport(Variant::object(std::make_shared<Reassigning>(clicker_, alive_, false)));
    }
    Variant default_value() const override { throw RuntimeError(err::type_mismatch); }

private:
    Clicker& clicker_;
    int& alive_;
    bool reassign_;
};

TEST(StartportRelease, AnAssignmentFromInsideAReleaseIsNeitherLostNorLeaked) {
    testing::ScriptedRig<> rig;
    int alive = 0;
    {
        Clicker clicker(rig.services);
        const auto assign = [&](bool reassign, const char* how) {
            const Variant object = Variant::object(std::make_shared<Reassigning>(clicker, alive, reassign));
            if (how[0] == 's') {
                clicker.set_startport(object);
            } else if (how[0] == 'l') {
                clicker.let_startport(object);
            } else {
                clicker.lastport(object);
            }
        };
        for (int k = 0; k < 150; ++k) assign(true, k % 3 == 0 ? "set" : k % 3 == 1 ? "let" : "lastport");
        // Each object assigned is released once the next one or the one its release assigned is
        // stored: only what startport holds lives.
        EXPECT_EQ(clicker.startport().type(), VarType::Object);
        EXPECT_EQ(alive, 1);
        clicker.let_startport(Variant());
        EXPECT_EQ(alive, 0);
        EXPECT_EQ(clicker.startport().type(), VarType::Empty);
    }
    EXPECT_EQ(alive, 0);
}

}  // namespace
}  // namespace harrowtally
