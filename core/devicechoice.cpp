#include "devicechoice.h"

#include <algorithm>
#include <cstdlib>

namespace DeviceChoice {

namespace {

struct Allotment
{
    std::string variable;
    std::string value;
    std::vector<int> numbers;
};

// The first of the variables that names GPUs by number.
Allotment firstOf(std::initializer_list<const char *> names, const Environment &environment)
{
    for (const char *name : names) {
        const std::string value = environment(name);
        const std::vector<int> numbers = gpuNumbers(value);
        if (!numbers.empty())
            return {name, value, numbers};
    }
    return {};
}

// The number in a render node's name (renderD129 -> 129): the kernel's
// order of the GPUs, which is the order a site's gres.conf lists them in
// when it lists them by their device files.
long nodeNumber(const std::string &renderNode)
{
    const auto digits = renderNode.find_last_not_of("0123456789");
    return digits + 1 < renderNode.size() ? std::strtol(renderNode.c_str() + digits + 1, nullptr, 10) : -1;
}

} // namespace

std::string describe(const Device &device, int index)
{
    std::string said = "EGL device " + std::to_string(index);
    if (device.software)
        return said + " (the software device)";
    if (device.vendorNumber >= 0)
        said += ", CUDA device " + std::to_string(device.vendorNumber);
    if (!device.renderNode.empty())
        said += ", render node " + device.renderNode;
    return said;
}

std::vector<int> gpuNumbers(const std::string &value)
{
    std::vector<int> numbers;
    std::size_t at = 0;
    while (at <= value.size()) {
        const std::size_t comma = std::min(value.find(',', at), value.size());
        const std::string field = value.substr(at, comma - at);
        if (field.empty() || field.size() > 6 || field.find_first_not_of("0123456789") != std::string::npos)
            return {};
        numbers.push_back(std::atoi(field.c_str()));
        at = comma + 1;
    }
    return numbers;
}

Choice choose(const std::vector<Device> &devices, const Environment &environment)
{
    if (devices.empty())
        return {-1, {}, "EGL lists no device"};
    const auto named = [&](int index) { return describe(devices[std::size_t(index)], index); };
    std::vector<int> gpus;
    int software = -1;
    for (int i = 0; i < int(devices.size()); ++i) {
        if (!devices[std::size_t(i)].software)
            gpus.push_back(i);
        else if (software < 0)
            software = i;
    }

    const Allotment node = firstOf({"SLURM_STEP_GPUS", "SLURM_JOB_GPUS"}, environment);
    const Allotment task = firstOf({"CUDA_VISIBLE_DEVICES", "GPU_DEVICE_ORDINAL"}, environment);
    if (node.numbers.empty() && task.numbers.empty()) {
        if (!gpus.empty())
            return {gpus.front(), named(gpus.front()) + "; the first GPU", {}};
        return {software, named(software) + "; EGL lists no GPU", {}};
    }

    // Where the driver lists no more GPUs than the task was given, the
    // site hides the others, and the task's own numbering counts what is
    // listed; otherwise the node's numbering does.
    const bool hidden = !task.numbers.empty() && gpus.size() == task.numbers.size();
    const Allotment &by = hidden || node.numbers.empty() ? task : node;
    const int wanted = by.numbers.front();
    const std::string allotted = "Slurm's GPU " + std::to_string(wanted) + " (" + by.variable + "=" + by.value + ")";
    if (gpus.empty())
        return {software, named(software) + "; " + allotted + " is not among EGL's devices", {}};

    // The GPUs in the order Slurm counts them: by the vendor's number where
    // every GPU has one, else by render node where every GPU has one, else
    // as the driver lists them.
    const auto all = [&](auto has) { return std::all_of(gpus.begin(), gpus.end(), has); };
    const auto device = [&](int index) -> const Device & { return devices[std::size_t(index)]; };
    const bool numbered = all([&](int i) { return device(i).vendorNumber >= 0; });
    int chosen = -1;
    if (numbered) {
        for (int i : gpus)
            if (device(i).vendorNumber == wanted)
                chosen = i;
    } else {
        if (all([&](int i) { return nodeNumber(device(i).renderNode) >= 0; }))
            std::stable_sort(gpus.begin(), gpus.end(), [&](int a, int b) {
                return nodeNumber(device(a).renderNode) < nodeNumber(device(b).renderNode);
            });
        if (wanted < int(gpus.size()))
            chosen = gpus[std::size_t(wanted)];
    }
    if (chosen < 0)
        return {-1, {}, allotted + " is not among EGL's " + std::to_string(gpus.size()) + " GPUs"
                        + (numbered ? " by their CUDA device numbers" : "")};
    return {chosen, named(chosen) + "; " + allotted, {}};
}

} // namespace DeviceChoice
