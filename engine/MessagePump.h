#pragma once

namespace tessaro {

// Lets pending user-interface events run while the single thread is busy.
// The window pumps the Qt event loop; the command line and tests do nothing.
class MessagePump {
public:
    virtual ~MessagePump() = default;
    virtual void processEvents() = 0;
};

class NullMessagePump : public MessagePump {
public:
    void processEvents() override {}
};

}  // namespace tessaro
