// The program's test seams, installed in every test process that links the test support (the
// test main itself belongs to the engine's tests and knows nothing of the program).
#include "MessageBox.h"

#include <gtest/gtest.h>

namespace {

class ProgramSeams : public testing::Environment {
public:
    void SetUp() override
    {
        // A real modal box would wait forever for a click: any box a test did not script fails it.
        SetMessageResponder([](const MessageRequest& request) {
            ADD_FAILURE() << "unexpected message box: " << request.text.toStdString();
            return request.buttons == MsgButtons::YesNo ? MsgAnswer::No : MsgAnswer::Ok;
        });
    }
};

// Registered before main runs; the support library is linked whole, so this object is always there.
[[maybe_unused]] testing::Environment* const seams = testing::AddGlobalTestEnvironment(new ProgramSeams);

} // namespace
