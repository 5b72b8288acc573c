#ifndef DEVICECHOICE_H
#define DEVICECHOICE_H

#include <functional>
#include <string>
#include <vector>

// Which of the GL devices a program draws on when it is not told: the GPU
// a Slurm task was allotted, else the first GPU, else the software device.
//
// Slurm names a task's GPUs in two numberings. SLURM_JOB_GPUS (and
// SLURM_STEP_GPUS, inside a step) count the node's GPUs in the order of its
// gres.conf; CUDA_VISIBLE_DEVICES and GPU_DEVICE_ORDINAL count the same
// GPUs where nothing hides any, but from 0 within the task's own where the
// site constrains a task's devices (cgroups), which is also when the driver
// lists no more GPUs than the task was given.
namespace DeviceChoice {

// What the driver tells of one device.
struct Device
{
    bool software = false;
    // Its DRM render node ("/dev/dri/renderD129"), or empty.
    std::string renderNode;
    // The vendor's own number for the GPU (CUDA's device number), or -1.
    int vendorNumber = -1;
};

struct Choice
{
    // Index into the devices, or -1 with the reason in error.
    int device = -1;
    // How it was chosen, for the log and the part's record:
    // "EGL device 1, render node /dev/dri/renderD129; Slurm's GPU 1 (SLURM_JOB_GPUS=1)".
    std::string why;
    std::string error;
};

// Reads an environment variable; empty where it is not set.
using Environment = std::function<std::string(const std::string &name)>;

// The device for these devices, in the driver's order, under this environment.
Choice choose(const std::vector<Device> &devices, const Environment &environment);

// "EGL device 1, render node /dev/dri/renderD129", "EGL device 0 (the software device)".
std::string describe(const Device &device, int index);

// "0,1" as numbers; empty for anything else (CUDA's GPU-... names, Slurm's
// "NoDevFiles", an empty value).
std::vector<int> gpuNumbers(const std::string &value);

} // namespace DeviceChoice

#endif // DEVICECHOICE_H
