#pragma once

// The gateway service as the main window drives it. The watcher that talks to the service
// manager implements it and reports states through its listeners.
class IGatewayService
{
public:
    virtual ~IGatewayService() = default;
    // Whether the service was found when the watcher was made.
    virtual bool IsInstalled() = 0;
    // Reads the service's state once and reports it.
    virtual void Poll() = 0;
    // Asks for a start or a stop; neither waits for the new state. False when refused.
    virtual bool Start() = 0;
    virtual bool Stop() = 0;
};
