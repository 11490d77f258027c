#pragma once

// The engine that drives a device's family; null for a family without one.
// The caller owns the engine and starts its thread.

class CDeviceItem;
class CProgrammer;

CProgrammer *CreateProgrammer(CDeviceItem *device);
