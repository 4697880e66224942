// The virtual camera driver: eight camera slots and a control device.
//
// Each slot is a device \Device\OrvexNec06A-N that exists for the driver's life; while a camera
// is attached there, the link \DosDevices\OrvexNec06A-N makes it reachable as
// \\.\OrvexNec06A-N, exactly where a program looks for the camera's USB driver. Its requests
// are the camera's: the two request codes with the pipe number as the 4-byte input and the
// data in the output buffer. The control device \\.\OrvexVirtualCamera carries the control
// API (control_protocol.h) for OrvexVirtualCamera.dll.
//
// When it starts, the driver attaches as many cameras as the value "Cameras" (REG_DWORD, 0 to
// 8) of its service key says, or one.

#include <cstring>

#include "windows/control_protocol.h"
#include "windows/driver/camera_device.h"

namespace orvex::vcam::kernel {
namespace {

namespace control = orvex::vcam::control;

enum class DeviceKind : ULONG { kControl, kCamera };

struct DeviceExtension {
  DeviceKind kind;
  int index;
};

// The driver's state. Plain data, set up in DriverEntry: nothing here needs a constructor.
struct DriverState {
  PDRIVER_OBJECT driver;
  PDEVICE_OBJECT control;
  PDEVICE_OBJECT slots[control::kSlotCount];
  Gate slotGate;  // attach, detach and reset, one at a time
  KSPIN_LOCK camerasLock;
  CameraDevice* cameras[control::kSlotCount];  // attached, each with the slot's reference
};

DriverState state;

// "\Device\OrvexNec06A-" or "\DosDevices\OrvexNec06A-" and the index digit.
struct SlotName {
  WCHAR text[40];
  UNICODE_STRING string;

  SlotName(const WCHAR* prefix, int index) {
    std::size_t length = 0;
    while (prefix[length] != L'\0' && length < 37) {
      text[length] = prefix[length];
      ++length;
    }
    text[length++] = static_cast<WCHAR>(L'0' + index);
    text[length] = L'\0';
    RtlInitUnicodeString(&string, text);
  }
};

void SetLink(int index, bool present) {
  SlotName link(ORVEX_VCAM_CAMERA_LINK, index);
  if (present) {
    SlotName device(ORVEX_VCAM_CAMERA_DEVICE, index);
    IoCreateSymbolicLink(&link.string, &device.string);
  } else {
    IoDeleteSymbolicLink(&link.string);
  }
}

bool ValidIndex(LONG index) {
  return index >= 0 && index < control::kSlotCount;
}

// The camera at index with a reference for the caller, or null.
CameraDevice* FindCamera(LONG index) {
  if (!ValidIndex(index)) return nullptr;
  SpinLock lock(state.camerasLock);
  CameraDevice* camera = state.cameras[index];
  if (camera != nullptr) camera->Reference();
  return camera;
}

bool Attach(LONG index) {
  if (!ValidIndex(index)) return false;
  GateLock serial(state.slotGate);
  {
    SpinLock lock(state.camerasLock);
    if (state.cameras[index] != nullptr) return false;
  }
  CameraDevice* camera = CameraDevice::Create(index);
  if (camera == nullptr) return false;
  {
    SpinLock lock(state.camerasLock);
    state.cameras[index] = camera;
  }
  SetLink(index, true);
  return true;
}

bool Detach(LONG index) {
  if (!ValidIndex(index)) return false;
  GateLock serial(state.slotGate);
  CameraDevice* camera = nullptr;
  {
    SpinLock lock(state.camerasLock);
    camera = state.cameras[index];
    state.cameras[index] = nullptr;
  }
  if (camera == nullptr) return false;
  SetLink(index, false);
  camera->Unplug();
  camera->Release();
  return true;
}

int AttachStartupSet(LONG count) {
  for (int index = 0; index < control::kSlotCount; ++index) Detach(index);
  if (count < 0 || count > control::kSlotCount) count = 1;
  for (int index = 0; index < count; ++index) Attach(index);
  return count;
}

// The start-up set from the value "Cameras" of the service key; 1 when it is missing or out of
// range.
LONG StartupCount(PUNICODE_STRING registryPath) {
  LONG count = 1;
  OBJECT_ATTRIBUTES attributes;
  InitializeObjectAttributes(&attributes, registryPath, OBJ_KERNEL_HANDLE | OBJ_CASE_INSENSITIVE,
                             nullptr, nullptr);
  HANDLE key = nullptr;
  if (!NT_SUCCESS(ZwOpenKey(&key, KEY_READ, &attributes))) return count;
  UNICODE_STRING name;
  RtlInitUnicodeString(&name, L"Cameras");
  union {
    KEY_VALUE_PARTIAL_INFORMATION info;
    UCHAR bytes[sizeof(KEY_VALUE_PARTIAL_INFORMATION) + sizeof(ULONG)];
  } value;
  ULONG length = 0;
  if (NT_SUCCESS(
          ZwQueryValueKey(key, &name, KeyValuePartialInformation, &value, sizeof value, &length)) &&
      value.info.Type == REG_DWORD && value.info.DataLength == sizeof(ULONG)) {
    ULONG stored = 0;
    std::memcpy(&stored, value.info.Data, sizeof stored);
    if (stored <= static_cast<ULONG>(control::kSlotCount)) count = static_cast<LONG>(stored);
  }
  ZwClose(key);
  return count;
}

// ---- Requests on a camera slot --------------------------------------------------------------

NTSTATUS CameraRequest(CameraDevice* camera, PIRP irp) {
  PIO_STACK_LOCATION stack = IoGetCurrentIrpStackLocation(irp);
  const ULONG code = stack->Parameters.DeviceIoControl.IoControlCode;
  if (code != control::kCodeDirectIn && code != control::kCodeDirectOut) {
    return CompleteRequest(irp, STATUS_INVALID_DEVICE_REQUEST);
  }
  const auto* input = static_cast<const UCHAR*>(irp->AssociatedIrp.SystemBuffer);
  if (input == nullptr || stack->Parameters.DeviceIoControl.InputBufferLength != 4) {
    return CompleteRequest(irp, STATUS_INVALID_PARAMETER);
  }
  const ULONG pipe =
      ULONG{input[0]} | ULONG{input[1]} << 8 | ULONG{input[2]} << 16 | ULONG{input[3]} << 24;
  if (pipe >= static_cast<ULONG>(control::kPipeCount)) {
    return CompleteRequest(irp, STATUS_INVALID_PARAMETER);
  }
  // The data moves in the pipe's direction whichever code is used.
  const ULONG length = stack->Parameters.DeviceIoControl.OutputBufferLength;
  void* data = DirectBuffer(irp);
  switch (pipe) {
    case 0:
      return CompleteRequest(irp, camera->Send(data, length), length);
    case 1:
      return CompleteRequest(irp, camera->Receive(data, length), length);
    default: {
      const NTSTATUS status = camera->ReadFrame(irp, data, length);
      if (status == STATUS_PENDING) return status;
      return CompleteRequest(irp, status);
    }
  }
}

// ---- Requests on the control device ---------------------------------------------------------

LONG Saturate(ULONGLONG value) {
  return value > 0x7FFFFFFFull ? 0x7FFFFFFF : static_cast<LONG>(value);
}

bool ValidAddress(LONG address) {
  return address >= 0 && address <= 255;
}

// Runs fn(camera) on the camera at index; onFailure when there is none.
template <typename Fn>
LONG OnCamera(LONG index, LONG onFailure, Fn fn) {
  CameraDevice* camera = FindCamera(index);
  if (camera == nullptr) return onFailure;
  const LONG result = fn(*camera);
  camera->Release();
  return result;
}

// Runs fn(model) under the camera's gate.
template <typename Fn>
LONG OnModel(LONG index, LONG onFailure, Fn fn) {
  return OnCamera(index, onFailure, [&](CameraDevice& camera) {
    return camera.WithModel([&](CameraModel& model) -> LONG { return fn(model); });
  });
}

// The control API's answer to one request, as its C function returns it.
LONG Operate(control::Operation operation, const control::Request& request, UCHAR* packet) {
  const LONG index = request.index;
  const LONG a = request.args[0];
  const LONG b = request.args[1];
  const LONG c = request.args[2];
  switch (operation) {
    case control::kAttach:
      return Attach(index) ? 1 : 0;
    case control::kDetach:
      return Detach(index) ? 1 : 0;
    case control::kIsAttached:
      return OnCamera(index, 0, [](CameraDevice&) { return 1; });
    case control::kReset:
      return AttachStartupSet(index);
    case control::kGetRegister:
      if (!ValidAddress(a)) return -1;
      return OnModel(index, -1, [&](CameraModel& model) { return model.Register(a); });
    case control::kSetRegister:
      if (!ValidAddress(a) || b < 0 || b > 0xFFFF) return 0;
      return OnModel(index, 0, [&](CameraModel& model) {
        model.SetRegister(a, static_cast<std::uint16_t>(b));
        return 1;
      });
    case control::kGetRomByte:
      if (!ValidAddress(a)) return -1;
      return OnModel(index, -1, [&](CameraModel& model) { return model.Rom(a); });
    case control::kSetRomByte:
      if (!ValidAddress(a) || b < 0 || b > 0xFF) return 0;
      return OnModel(index, 0, [&](CameraModel& model) {
        model.SetRom(a, static_cast<std::uint8_t>(b));
        return 1;
      });
    case control::kGetSampleWidth:
      return OnModel(index, -1, [](CameraModel& model) { return model.BytesPerSample(); });
    case control::kGetTransferSamples:
      return OnModel(index, -1,
                     [](CameraModel& model) { return Saturate(model.TransferSamples()); });
    case control::kPacketCount:
      if (a < -1 || a > 255) return -1;
      return OnModel(index, -1, [&](CameraModel& model) { return Saturate(model.PacketCount(a)); });
    case control::kLastPacket:
      if (a < -1 || a > 255) return 0;
      return OnModel(index, 0, [&](CameraModel& model) {
        Packet last;
        if (!model.LastPacket(a, &last)) return 0;
        std::memcpy(packet, last.data(), last.size());
        return 1;
      });
    case control::kOpenHandles:
      return OnCamera(index, -1, [](CameraDevice& camera) { return camera.OpenHandles(); });
    case control::kWaitingReads:
      return OnCamera(index, -1, [](CameraDevice& camera) { return camera.WaitingReads(); });
    case control::kFailRequests:
      if (a < 0 || a >= control::kPipeCount || b < 0) return 0;
      return OnCamera(index, 0, [&](CameraDevice& camera) {
        camera.FailRequests(a, b);
        return 1;
      });
    case control::kShortFrames:
      if (a < 0) return 0;
      return OnCamera(index, 0, [&](CameraDevice& camera) {
        camera.ShortFrames(a);
        return 1;
      });
    case control::kClearRaster:
      return OnModel(index, 0, [](CameraModel& model) {
        model.ClearRaster();
        return 1;
      });
    case control::kSetScene:
      if (a < 0 || a > 2) return 0;
      return OnModel(index, 0, [&](CameraModel& model) {
        model.ClearRaster();
        if (a == 0) {
          model.scene().ShowChart();
        } else if (a == 1) {
          model.scene().ShowMoving();
        } else {
          const std::uint16_t gray = LevelFrom8(128);
          model.scene().ShowFlat({gray, gray, gray});
        }
        return 1;
      });
    case control::kSetSceneColor: {
      const auto valid = [](LONG v) { return v >= 0 && v <= 255; };
      if (!valid(a) || !valid(b) || !valid(c)) return 0;
      return OnModel(index, 0, [&](CameraModel& model) {
        model.ClearRaster();
        model.scene().ShowFlat({LevelFrom8(a), LevelFrom8(b), LevelFrom8(c)});
        return 1;
      });
    }
    case control::kSetSceneLevel:
      if (a < 0 || a > 1000) return 0;
      return OnModel(index, 0, [&](CameraModel& model) {
        model.SetLevel(a);
        return 1;
      });
    case control::kSetFramePeriod:
      return OnCamera(index, 0, [&](CameraDevice& camera) {
        camera.SetFramePeriod(a);
        return 1;
      });
    case control::kSetDropRate:
      if (a < 0 || a > 100) return 0;
      return OnCamera(index, 0, [&](CameraDevice& camera) {
        camera.SetDropRate(a);
        return 1;
      });
    case control::kFramesSent:
      return OnCamera(index, -1,
                      [](CameraDevice& camera) { return Saturate(camera.FramesSent()); });
    case control::kFramesDropped:
      return OnCamera(index, -1,
                      [](CameraDevice& camera) { return Saturate(camera.FramesDropped()); });
    default:
      return 0;
  }
}

NTSTATUS OperationRequest(PIRP irp, control::Operation operation) {
  PIO_STACK_LOCATION stack = IoGetCurrentIrpStackLocation(irp);
  const ULONG inputLength = stack->Parameters.DeviceIoControl.InputBufferLength;
  const ULONG outputLength = stack->Parameters.DeviceIoControl.OutputBufferLength;
  const bool packet = operation == control::kLastPacket;
  const ULONG replyLength = packet ? sizeof(control::PacketReply) : sizeof(control::Reply);
  void* buffer = irp->AssociatedIrp.SystemBuffer;
  if (buffer == nullptr || inputLength != sizeof(control::Request) || outputLength != replyLength) {
    return CompleteRequest(irp, STATUS_INVALID_PARAMETER);
  }
  control::Request request;
  std::memcpy(&request, buffer, sizeof request);
  control::PacketReply reply{};
  reply.result = Operate(operation, request, reply.packet);
  std::memcpy(buffer, &reply, replyLength);  // the system buffer serves both directions
  return CompleteRequest(irp, STATUS_SUCCESS, replyLength);
}

// A raster or a mosaic: the header in the input buffer, the samples in the output buffer.
NTSTATUS DataRequest(PIRP irp, ULONG code) {
  PIO_STACK_LOCATION stack = IoGetCurrentIrpStackLocation(irp);
  const ULONG inputLength = stack->Parameters.DeviceIoControl.InputBufferLength;
  const ULONG dataLength = stack->Parameters.DeviceIoControl.OutputBufferLength;
  const void* header = irp->AssociatedIrp.SystemBuffer;
  const void* data = DirectBuffer(irp);
  if (header == nullptr || data == nullptr) return CompleteRequest(irp, STATUS_INVALID_PARAMETER);

  LONG done = 0;
  if (code == control::kSetRasterCode && inputLength == sizeof(control::RasterRequest)) {
    control::RasterRequest raster;
    std::memcpy(&raster, header, sizeof raster);
    const ULONGLONG samples = static_cast<ULONGLONG>(raster.pitch) * raster.lines;
    if (raster.pitch > 0 && raster.lines > 0 &&
        (raster.bytesPerSample == 1 || raster.bytesPerSample == 2) &&
        samples * raster.bytesPerSample == dataLength) {
      done = OnModel(raster.index, 0, [&](CameraModel& model) {
        return model.SetRaster(data, static_cast<std::size_t>(samples), raster.bytesPerSample) ? 1
                                                                                               : 0;
      });
    }
  } else if (code == control::kShowMosaicCode && inputLength == sizeof(control::Request) &&
             dataLength == kScenePixels * sizeof(std::uint16_t)) {
    control::Request request;
    std::memcpy(&request, header, sizeof request);
    done = OnModel(request.index, 0, [&](CameraModel& model) {
      if (!model.scene().ShowMosaic(static_cast<const std::uint16_t*>(data))) return 0;
      model.ClearRaster();
      return 1;
    });
  } else {
    return CompleteRequest(irp, STATUS_INVALID_PARAMETER);
  }
  return CompleteRequest(irp, done != 0 ? STATUS_SUCCESS : STATUS_UNSUCCESSFUL);
}

NTSTATUS ControlRequest(PIRP irp) {
  const ULONG code = IoGetCurrentIrpStackLocation(irp)->Parameters.DeviceIoControl.IoControlCode;
  if (code == control::kSetRasterCode || code == control::kShowMosaicCode) {
    return DataRequest(irp, code);
  }
  for (ULONG operation = control::kAttach; operation < control::kOperationEnd; ++operation) {
    if (code == control::OperationCode(static_cast<control::Operation>(operation))) {
      return OperationRequest(irp, static_cast<control::Operation>(operation));
    }
  }
  return CompleteRequest(irp, STATUS_INVALID_DEVICE_REQUEST);
}

// ---- Dispatch -------------------------------------------------------------------------------

DeviceExtension& ExtensionOf(PDEVICE_OBJECT device) {
  return *static_cast<DeviceExtension*>(device->DeviceExtension);
}

NTSTATUS NTAPI DispatchCreate(PDEVICE_OBJECT device, PIRP irp) {
  const DeviceExtension& extension = ExtensionOf(device);
  PFILE_OBJECT file = IoGetCurrentIrpStackLocation(irp)->FileObject;
  if (extension.kind == DeviceKind::kControl) return CompleteRequest(irp, STATUS_SUCCESS);
  CameraDevice* camera = FindCamera(extension.index);
  if (camera == nullptr) return CompleteRequest(irp, STATUS_NO_SUCH_DEVICE);
  camera->HandleOpened();
  file->FsContext = camera;  // the file's reference
  return CompleteRequest(irp, STATUS_SUCCESS);
}

NTSTATUS NTAPI DispatchClose(PDEVICE_OBJECT, PIRP irp) {
  PFILE_OBJECT file = IoGetCurrentIrpStackLocation(irp)->FileObject;
  if (auto* camera = static_cast<CameraDevice*>(file->FsContext)) {
    file->FsContext = nullptr;
    camera->HandleClosed();
    camera->Release();
  }
  return CompleteRequest(irp, STATUS_SUCCESS);
}

NTSTATUS NTAPI DispatchCleanup(PDEVICE_OBJECT, PIRP irp) {
  return CompleteRequest(irp, STATUS_SUCCESS);
}

NTSTATUS NTAPI DispatchDeviceControl(PDEVICE_OBJECT device, PIRP irp) {
  if (ExtensionOf(device).kind == DeviceKind::kControl) return ControlRequest(irp);
  auto* camera =
      static_cast<CameraDevice*>(IoGetCurrentIrpStackLocation(irp)->FileObject->FsContext);
  if (camera == nullptr) return CompleteRequest(irp, STATUS_INVALID_HANDLE);
  return CameraRequest(camera, irp);
}

void DeleteDevices() {
  for (int index = 0; index < control::kSlotCount; ++index) {
    if (state.slots[index] != nullptr) IoDeleteDevice(state.slots[index]);
    state.slots[index] = nullptr;
  }
  if (state.control != nullptr) {
    UNICODE_STRING link;
    RtlInitUnicodeString(&link, ORVEX_VCAM_CONTROL_LINK);
    IoDeleteSymbolicLink(&link);
    IoDeleteDevice(state.control);
    state.control = nullptr;
  }
}

VOID NTAPI DriverUnload(PDRIVER_OBJECT) {
  for (int index = 0; index < control::kSlotCount; ++index) Detach(index);
  DeleteDevices();
}

NTSTATUS CreateDevice(const UNICODE_STRING& name, DeviceKind kind, int index,
                      PDEVICE_OBJECT* device) {
  NTSTATUS status =
      IoCreateDevice(state.driver, sizeof(DeviceExtension), const_cast<PUNICODE_STRING>(&name),
                     FILE_DEVICE_UNKNOWN, 0, FALSE, device);
  if (!NT_SUCCESS(status)) return status;
  ExtensionOf(*device) = {kind, index};
  (*device)->Flags |= DO_DIRECT_IO;
  (*device)->Flags &= ~DO_DEVICE_INITIALIZING;
  return STATUS_SUCCESS;
}

NTSTATUS Start(PDRIVER_OBJECT driver) {
  state.driver = driver;
  state.slotGate.Initialize();
  KeInitializeSpinLock(&state.camerasLock);

  UNICODE_STRING name;
  RtlInitUnicodeString(&name, ORVEX_VCAM_CONTROL_DEVICE);
  NTSTATUS status = CreateDevice(name, DeviceKind::kControl, -1, &state.control);
  if (!NT_SUCCESS(status)) return status;
  UNICODE_STRING link;
  RtlInitUnicodeString(&link, ORVEX_VCAM_CONTROL_LINK);
  status = IoCreateSymbolicLink(&link, &name);
  if (!NT_SUCCESS(status)) return status;
  for (int index = 0; index < control::kSlotCount; ++index) {
    SlotName slot(ORVEX_VCAM_CAMERA_DEVICE, index);
    status = CreateDevice(slot.string, DeviceKind::kCamera, index, &state.slots[index]);
    if (!NT_SUCCESS(status)) return status;
  }
  return STATUS_SUCCESS;
}

}  // namespace
}  // namespace orvex::vcam::kernel

extern "C" NTSTATUS NTAPI DriverEntry(PDRIVER_OBJECT driver, PUNICODE_STRING registryPath) {
  using namespace orvex::vcam::kernel;
  driver->MajorFunction[IRP_MJ_CREATE] = DispatchCreate;
  driver->MajorFunction[IRP_MJ_CLOSE] = DispatchClose;
  driver->MajorFunction[IRP_MJ_CLEANUP] = DispatchCleanup;
  driver->MajorFunction[IRP_MJ_DEVICE_CONTROL] = DispatchDeviceControl;
  driver->DriverUnload = DriverUnload;
  const NTSTATUS status = Start(driver);
  if (!NT_SUCCESS(status)) {
    DeleteDevices();
    return status;
  }
  AttachStartupSet(StartupCount(registryPath));
  return STATUS_SUCCESS;
}
