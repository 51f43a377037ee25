/* The HID minidriver interface, from the public Windows DDK (hidport.h). mingw-w64 ships no hidport.h,
 * and the minidriver request codes in its ddk/hidclass.h are placeholders, so both drivers declare what
 * they use here and include neither. */
#pragma once

#include <ddk/wdm.h>

#define VH_HID_REVISION 0x0001

#define VH_HID_CTL_CODE(id) CTL_CODE(FILE_DEVICE_KEYBOARD, (id), METHOD_NEITHER, FILE_ANY_ACCESS)
#define VH_HID_IN_CTL_CODE(id) CTL_CODE(FILE_DEVICE_KEYBOARD, (id), METHOD_IN_DIRECT, FILE_ANY_ACCESS)
#define VH_HID_OUT_CTL_CODE(id) CTL_CODE(FILE_DEVICE_KEYBOARD, (id), METHOD_OUT_DIRECT, FILE_ANY_ACCESS)

/* What hidclass asks of a minidriver. */
#define IOCTL_HID_GET_DEVICE_DESCRIPTOR VH_HID_CTL_CODE(0)
#define IOCTL_HID_GET_REPORT_DESCRIPTOR VH_HID_CTL_CODE(1)
#define IOCTL_HID_READ_REPORT VH_HID_CTL_CODE(2)
#define IOCTL_HID_WRITE_REPORT VH_HID_CTL_CODE(3)
#define IOCTL_HID_GET_STRING VH_HID_CTL_CODE(4)
#define IOCTL_HID_ACTIVATE_DEVICE VH_HID_CTL_CODE(7)
#define IOCTL_HID_DEACTIVATE_DEVICE VH_HID_CTL_CODE(8)
#define IOCTL_HID_GET_DEVICE_ATTRIBUTES VH_HID_CTL_CODE(9)
#define IOCTL_HID_SEND_IDLE_NOTIFICATION_REQUEST VH_HID_CTL_CODE(10)
#define IOCTL_HID_GET_FEATURE VH_HID_OUT_CTL_CODE(100)
#define IOCTL_HID_SET_FEATURE VH_HID_IN_CTL_CODE(100)
#define IOCTL_HID_SET_OUTPUT_REPORT VH_HID_IN_CTL_CODE(101)
#define IOCTL_HID_GET_INPUT_REPORT VH_HID_OUT_CTL_CODE(104)

/* String ids in IOCTL_HID_GET_STRING's low word: Windows asks 14 to 16, Wine's hidclass 1 to 3. */
#define VH_HID_STRING_ID_IMANUFACTURER 14
#define VH_HID_STRING_ID_IPRODUCT 15
#define VH_HID_STRING_ID_ISERIALNUMBER 16

#define VH_HID_HID_DESCRIPTOR_TYPE 0x21
#define VH_HID_REPORT_DESCRIPTOR_TYPE 0x22

typedef struct _HID_MINIDRIVER_REGISTRATION {
    ULONG Revision;
    PDRIVER_OBJECT DriverObject;
    PUNICODE_STRING RegistryPath;
    ULONG DeviceExtensionSize;
    BOOLEAN DevicesArePolled;
    UCHAR Reserved[3];
} HID_MINIDRIVER_REGISTRATION, *PHID_MINIDRIVER_REGISTRATION;

/* hidclass's extension of the device objects it makes for a minidriver. */
typedef struct _HID_DEVICE_EXTENSION {
    PDEVICE_OBJECT PhysicalDeviceObject;
    PDEVICE_OBJECT NextDeviceObject;
    PVOID MiniDeviceExtension;
} HID_DEVICE_EXTENSION, *PHID_DEVICE_EXTENSION;

typedef struct _HID_DEVICE_ATTRIBUTES {
    ULONG Size;
    USHORT VendorID;
    USHORT ProductID;
    USHORT VersionNumber;
    USHORT Reserved[11];
} HID_DEVICE_ATTRIBUTES, *PHID_DEVICE_ATTRIBUTES;

#include <pshpack1.h>
typedef struct _HID_DESCRIPTOR {
    UCHAR bLength;
    UCHAR bDescriptorType;
    USHORT bcdHID;
    UCHAR bCountry;
    UCHAR bNumDescriptors;
    struct _HID_DESCRIPTOR_DESC_LIST {
        UCHAR bReportType;
        USHORT wReportLength;
    } DescriptorList[1];
} HID_DESCRIPTOR, *PHID_DESCRIPTOR;
#include <poppack.h>

/* Carries a report in IOCTL_HID_WRITE_REPORT, IOCTL_HID_SET_OUTPUT_REPORT and the feature and input
 * report requests; the report id is apart from the buffer, which holds the report's data only. */
typedef struct _VH_HID_XFER_PACKET {
    PUCHAR reportBuffer;
    ULONG reportBufferLen;
    UCHAR reportId;
} VH_HID_XFER_PACKET;

NTSTATUS NTAPI HidRegisterMinidriver(PHID_MINIDRIVER_REGISTRATION registration);
