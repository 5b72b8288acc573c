// Which EGL device a capture draws on when it is not told: Slurm's
// allotment read from the environment and found among the driver's devices.
// Every expected device is worked out by hand from what the variables count
// (the node's GPUs in gres.conf order, or the task's own from 0) and the
// kernel's order of render nodes.

#include "datarows.h"
#include "devicechoice.h"

#include <QtTest>

#include <map>

namespace {

// Devices written short, in the driver's order: "S" the software device,
// "R129" a GPU with render node renderD129, "C0" a GPU with CUDA number 0,
// "C0R129" both, "G" a GPU EGL tells nothing of.
std::vector<DeviceChoice::Device> devices(const QStringList &written)
{
    std::vector<DeviceChoice::Device> out;
    for (const QString &each : written) {
        DeviceChoice::Device device;
        device.software = each == QLatin1String("S");
        const QRegularExpressionMatch cuda = QRegularExpression(QStringLiteral("C(\\d+)")).match(each);
        if (cuda.hasMatch())
            device.vendorNumber = cuda.captured(1).toInt();
        const QRegularExpressionMatch node = QRegularExpression(QStringLiteral("R(\\d+)")).match(each);
        if (node.hasMatch())
            device.renderNode = "/dev/dri/renderD" + node.captured(1).toStdString();
        out.push_back(device);
    }
    return out;
}

// "NAME=VALUE" pairs as the environment.
DeviceChoice::Environment environment(const QStringList &pairs)
{
    std::map<std::string, std::string> values;
    for (const QString &pair : pairs)
        values[pair.section(QLatin1Char('='), 0, 0).toStdString()] = pair.section(QLatin1Char('='), 1).toStdString();
    return [values](const std::string &name) {
        const auto found = values.find(name);
        return found == values.end() ? std::string() : found->second;
    };
}

} // namespace

class DeviceChoiceTest : public QObject
{
    Q_OBJECT

private slots:
    void chosenDevice_data();
    void chosenDevice();
    void gpuNumbers_data();
    void gpuNumbers();
};

void DeviceChoiceTest::chosenDevice_data()
{
    // device: the index expected, -1 for a refusal; said: words of the
    // reason (or of the refusal).
    addRows<QStringList, QStringList, int, QString>({"listed", "variables", "device", "said"}, {
        {"software alone", {"S"}, {}, 0, "EGL lists no GPU"},
        {"the first GPU, not the software device", {"S", "R128", "R129"}, {}, 1, "the first GPU"},
        {"no device at all", {}, {}, -1, "EGL lists no device"},
        // Nothing hidden: both numberings count the node's GPUs.
        {"the node's second GPU", {"R128", "R129", "S"}, {"SLURM_JOB_GPUS=1", "CUDA_VISIBLE_DEVICES=1"}, 1,
         "Slurm's GPU 1 (SLURM_JOB_GPUS=1)"},
        // renderD128 is the kernel's first GPU, whatever EGL's order.
        {"render nodes out of order", {"R129", "R128"}, {"SLURM_JOB_GPUS=0", "CUDA_VISIBLE_DEVICES=0"}, 1,
         "render node /dev/dri/renderD128"},
        {"the step's GPUs before the job's", {"R128", "R129", "R130"}, {"SLURM_STEP_GPUS=2", "SLURM_JOB_GPUS=0,2"}, 2,
         "SLURM_STEP_GPUS=2"},
        // A site that hides the others: one GPU listed, the task's own
        // numbering from 0, the node's still 2.
        {"others hidden", {"R130"}, {"SLURM_JOB_GPUS=2", "CUDA_VISIBLE_DEVICES=0"}, 0, "CUDA_VISIBLE_DEVICES=0"},
        {"two of four, others hidden", {"R129", "R130"}, {"SLURM_JOB_GPUS=1,2", "CUDA_VISIBLE_DEVICES=0,1"}, 0,
         "render node /dev/dri/renderD129"},
        // CUDA's number decides, not EGL's order.
        {"by the vendor's number", {"C1R128", "C0R129"}, {"SLURM_JOB_GPUS=0", "CUDA_VISIBLE_DEVICES=0"}, 1,
         "CUDA device 0"},
        {"GPU_DEVICE_ORDINAL alone", {"R128", "R129"}, {"GPU_DEVICE_ORDINAL=1"}, 1, "GPU_DEVICE_ORDINAL=1"},
        {"CUDA's names are no numbers", {"R128", "R129"}, {"CUDA_VISIBLE_DEVICES=GPU-5fa1", "GPU_DEVICE_ORDINAL=1"}, 1,
         "GPU_DEVICE_ORDINAL=1"},
        {"no GPU in the allotment", {"S", "R128"}, {"CUDA_VISIBLE_DEVICES=NoDevFiles"}, 1, "the first GPU"},
        {"nothing told of the GPUs: EGL's order", {"G", "G", "G"}, {"SLURM_JOB_GPUS=2"}, 2, "EGL device 2"},
        {"allotted beyond the GPUs", {"R128", "R129"}, {"SLURM_JOB_GPUS=3", "CUDA_VISIBLE_DEVICES=3"}, -1,
         "Slurm's GPU 3 (SLURM_JOB_GPUS=3) is not among EGL's 2 GPUs"},
        {"vendor's number not found", {"C0", "C1"}, {"SLURM_JOB_GPUS=4"}, -1, "by their CUDA device numbers"},
        // The test cluster's stand-in GPUs on a machine without any.
        {"stand-in GPUs", {"S"}, {"SLURM_JOB_GPUS=1", "CUDA_VISIBLE_DEVICES=1"}, 0,
         "Slurm's GPU 1 (SLURM_JOB_GPUS=1) is not among EGL's devices"},
    });
}

void DeviceChoiceTest::chosenDevice()
{
    QFETCH(QStringList, listed);
    QFETCH(QStringList, variables);
    QFETCH(int, device);
    QFETCH(QString, said);

    const DeviceChoice::Choice choice = DeviceChoice::choose(devices(listed), environment(variables));
    QCOMPARE(choice.device, device);
    const QString text = QString::fromStdString(device < 0 ? choice.error : choice.why);
    QVERIFY2(text.contains(said), qPrintable(text));
    // A choice says why; a refusal says nothing else.
    QCOMPARE(choice.why.empty(), device < 0);
    QCOMPARE(choice.error.empty(), device >= 0);
}

void DeviceChoiceTest::gpuNumbers_data()
{
    addRows<QString, QList<int>>({"value", "numbers"}, {
        {"one", "0", {0}},
        {"two", "0,1", {0, 1}},
        {"as given", "12,3", {12, 3}},
        {"unset", "", {}},
        {"trailing comma", "1,", {}},
        {"CUDA's name", "GPU-5fa1", {}},
        {"Slurm's none", "NoDevFiles", {}},
        {"spaced", " 1", {}},
        {"negative", "-1", {}},
    });
}

void DeviceChoiceTest::gpuNumbers()
{
    QFETCH(QString, value);
    QFETCH(QList<int>, numbers);
    const std::vector<int> read = DeviceChoice::gpuNumbers(value.toStdString());
    QCOMPARE(QList<int>(read.begin(), read.end()), numbers);
}

QTEST_APPLESS_MAIN(DeviceChoiceTest)

#include "tst_devicechoice.moc"
