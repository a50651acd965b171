#pragma once

class CEventBase;

// Something that hears events: it registers with the notifier it wants to hear and
// unregisters before either of them is destroyed.
class CListenerBase
{
public:
    virtual ~CListenerBase() = default;
    // Called on the thread that raised the event, for each event of a registered type. The
    // event lives only for the call.
    virtual void OnEvent(CEventBase* event) = 0;
};
