/* Stand-in for the device's kernel-mode USB driver, for the Windows tests under Wine only; it
 * ships nowhere. It answers the tool's control code 0x226000 at \\.\VELMORUSBDevice0 with the
 * simulator's device model, and takes control commands at \\.\VelmorStandinControl.
 *
 * Wine loads a driver that imports user-mode DLLs (msvcrt, for the C++ model) like a DLL: the
 * entry point is first called as DllMain, then as DriverEntry. */

#include <ddk/wdm.h>

#include "tests/win/standin_bridge.h"

#define IOCTL_VELMOR_CONTROL 0x226000
#define IOCTL_STANDIN_COMMAND CTL_CODE(FILE_DEVICE_UNKNOWN, 0x801, METHOD_BUFFERED, FILE_ANY_ACCESS)

static PDEVICE_OBJECT g_device;
static PDEVICE_OBJECT g_control;
static UNICODE_STRING g_device_name;
static UNICODE_STRING g_device_link;
static LONG g_linked;
/* Requests held back by a wire fault, linked through Tail.Overlay.ListEntry; each carries its
 * token in DriverContext[0] so a late release finds only its own. */
static KSPIN_LOCK g_held_lock;
static LIST_ENTRY g_held;
static ULONG_PTR g_held_token;

/* Wine opens a device object even when IRP_MJ_CREATE fails, so an absent device must lose its
 * DOS name for the tool's open to fail as it does on Windows. */
static void SetPresent(int present) {
  if (present && InterlockedCompareExchange(&g_linked, 1, 0) == 0) {
    IoCreateSymbolicLink(&g_device_link, &g_device_name);
  } else if (!present && InterlockedCompareExchange(&g_linked, 0, 1) == 1) {
    IoDeleteSymbolicLink(&g_device_link);
  }
}

static NTSTATUS Complete(PIRP irp, NTSTATUS status, ULONG_PTR information) {
  irp->IoStatus.Status = status;
  irp->IoStatus.Information = information;
  IoCompleteRequest(irp, IO_NO_INCREMENT);
  return status;
}

static NTSTATUS WINAPI OnCreate(PDEVICE_OBJECT device, PIRP irp) {
  if (device == g_device && !StandinIsPlugged()) return Complete(irp, STATUS_NO_SUCH_DEVICE, 0);
  return Complete(irp, STATUS_SUCCESS, 0);
}

static NTSTATUS WINAPI OnClose(PDEVICE_OBJECT device, PIRP irp) {
  (void)device;
  return Complete(irp, STATUS_SUCCESS, 0);
}

/* Buffered transfer: the input and the output share the system buffer. Returns the status and
 * sets `information` to the bytes of the answer. */
static NTSTATUS Serve(PIRP irp, ULONG in_size, ULONG out_size, ULONG_PTR* information) {
  unsigned char* buffer = irp->AssociatedIrp.SystemBuffer;
  unsigned char frame[32];
  unsigned char reply[32];
  ULONG i;
  int want_reply = out_size >= sizeof reply;
  *information = 0;
  if (in_size < 6 || in_size > sizeof frame || buffer == NULL) return STATUS_INVALID_PARAMETER;
  for (i = 0; i < in_size; ++i) frame[i] = buffer[i];
  for (i = 0; i < sizeof reply; ++i) reply[i] = 0;
  if (!StandinControl(frame, in_size, want_reply ? reply : NULL)) return STATUS_UNSUCCESSFUL;
  if (!want_reply) return STATUS_SUCCESS;
  for (i = 0; i < sizeof reply; ++i) buffer[i] = reply[i];
  *information = sizeof reply;
  return STATUS_SUCCESS;
}

static PIRP TakeHeld(PIRP irp, ULONG_PTR token) {
  PLIST_ENTRY entry;
  PIRP found = NULL;
  KIRQL irql;
  KeAcquireSpinLock(&g_held_lock, &irql);
  for (entry = g_held.Flink; entry != &g_held; entry = entry->Flink) {
    PIRP held = CONTAINING_RECORD(entry, IRP, Tail.Overlay.ListEntry);
    if (held == irp || (irp == NULL && (ULONG_PTR)held->Tail.Overlay.DriverContext[0] == token)) {
      RemoveEntryList(entry);
      found = held;
      break;
    }
  }
  KeReleaseSpinLock(&g_held_lock, irql);
  return found;
}

/* Once cancelled, the request is this routine's to complete, whether or not a release took it
 * off the list first. */
static VOID WINAPI OnCancelHeld(PDEVICE_OBJECT device, PIRP irp) {
  (void)device;
  IoReleaseCancelSpinLock(irp->CancelIrql);
  TakeHeld(irp, 0);
  Complete(irp, STATUS_CANCELLED, 0);
}

/* A held request whose time is up goes out with the answer it already has, unless it is being
 * cancelled. */
static void ReleaseHeld(unsigned long token) {
  PIRP irp = TakeHeld(NULL, token);
  if (irp != NULL && IoSetCancelRoutine(irp, NULL) != NULL) IoCompleteRequest(irp, IO_NO_INCREMENT);
}

static NTSTATUS Hold(PIRP irp, long hold_ms) {
  ULONG_PTR token;
  KIRQL irql;
  IoMarkIrpPending(irp);
  KeAcquireSpinLock(&g_held_lock, &irql);
  token = ++g_held_token;
  irp->Tail.Overlay.DriverContext[0] = (PVOID)token;
  InsertTailList(&g_held, &irp->Tail.Overlay.ListEntry);
  IoSetCancelRoutine(irp, OnCancelHeld);
  KeReleaseSpinLock(&g_held_lock, irql);
  if (irp->Cancel && IoSetCancelRoutine(irp, NULL) != NULL) {
    TakeHeld(irp, 0);
    Complete(irp, STATUS_CANCELLED, 0);
  } else if (hold_ms > 0) {
    StandinLater((unsigned long)hold_ms, ReleaseHeld, (unsigned long)token);
  }
  return STATUS_PENDING;
}

/* The model answers at once, as the device would; a wire fault only holds the answer back. */
static NTSTATUS DeviceRequest(PIRP irp, ULONG in_size, ULONG out_size) {
  ULONG_PTR information;
  NTSTATUS status = Serve(irp, in_size, out_size, &information);
  long hold_ms = StandinHoldMs();
  if (hold_ms == 0) return Complete(irp, status, information);
  irp->IoStatus.Status = status;
  irp->IoStatus.Information = information;
  return Hold(irp, hold_ms);
}

static NTSTATUS CommandRequest(PIRP irp, ULONG in_size, ULONG out_size) {
  char* buffer = irp->AssociatedIrp.SystemBuffer;
  char command[STANDIN_MAX_MESSAGE];
  char answer[STANDIN_MAX_MESSAGE];
  unsigned long answer_size = 0;
  ULONG i;
  int done;
  if (in_size > sizeof command || out_size < 1 || buffer == NULL) {
    return Complete(irp, STATUS_INVALID_PARAMETER, 0);
  }
  for (i = 0; i < in_size; ++i) command[i] = buffer[i];
  done = StandinCommand(command, in_size, answer, sizeof answer, &answer_size);
  if (answer_size > out_size - 1) answer_size = out_size - 1;
  buffer[0] = done ? 1 : 0;
  for (i = 0; i < answer_size; ++i) buffer[i + 1] = answer[i];
  return Complete(irp, STATUS_SUCCESS, answer_size + 1);
}

static NTSTATUS WINAPI OnDeviceControl(PDEVICE_OBJECT device, PIRP irp) {
  PIO_STACK_LOCATION stack = IoGetCurrentIrpStackLocation(irp);
  ULONG code = stack->Parameters.DeviceIoControl.IoControlCode;
  ULONG in_size = stack->Parameters.DeviceIoControl.InputBufferLength;
  ULONG out_size = stack->Parameters.DeviceIoControl.OutputBufferLength;
  if (device == g_device && code == IOCTL_VELMOR_CONTROL) {
    return DeviceRequest(irp, in_size, out_size);
  }
  if (device == g_control && code == IOCTL_STANDIN_COMMAND) {
    return CommandRequest(irp, in_size, out_size);
  }
  return Complete(irp, STATUS_INVALID_DEVICE_REQUEST, 0);
}

static NTSTATUS DriverEntry(PDRIVER_OBJECT driver, PUNICODE_STRING registry_path) {
  UNICODE_STRING control_name;
  UNICODE_STRING control_link;
  NTSTATUS status;
  (void)registry_path;
  KeInitializeSpinLock(&g_held_lock);
  InitializeListHead(&g_held);
  RtlInitUnicodeString(&g_device_name, L"\\Device\\VELMORUSBDevice0");
  RtlInitUnicodeString(&g_device_link, L"\\DosDevices\\VELMORUSBDevice0");
  RtlInitUnicodeString(&control_name, L"\\Device\\VelmorStandinControl");
  RtlInitUnicodeString(&control_link, L"\\DosDevices\\VelmorStandinControl");

  driver->MajorFunction[IRP_MJ_CREATE] = OnCreate;
  driver->MajorFunction[IRP_MJ_CLOSE] = OnClose;
  driver->MajorFunction[IRP_MJ_DEVICE_CONTROL] = OnDeviceControl;

  status = IoCreateDevice(driver, 0, &g_device_name, FILE_DEVICE_UNKNOWN, 0, FALSE, &g_device);
  if (status != STATUS_SUCCESS) return status;
  status = IoCreateDevice(driver, 0, &control_name, FILE_DEVICE_UNKNOWN, 0, FALSE, &g_control);
  if (status != STATUS_SUCCESS) return status;
  status = IoCreateSymbolicLink(&control_link, &control_name);
  if (status != STATUS_SUCCESS) return status;
  return StandinStart(SetPresent) ? STATUS_SUCCESS : STATUS_UNSUCCESSFUL;
}

/* The C runtime's DLL start-up: constructs the model's C++ runtime state. */
BOOLEAN WINAPI DllMainCRTStartup(PVOID instance, ULONG reason, PVOID reserved);

/* The image's entry point. As DllMain its second argument is a small reason code; as
 * DriverEntry it is the registry path, a pointer. */
NTSTATUS WINAPI StandinEntry(PVOID first, PVOID second, PVOID third) {
  if ((ULONG_PTR)second < 0x10000) {
    return DllMainCRTStartup(first, (ULONG)(ULONG_PTR)second, third);
  }
  return DriverEntry((PDRIVER_OBJECT)first, (PUNICODE_STRING)second);
}
