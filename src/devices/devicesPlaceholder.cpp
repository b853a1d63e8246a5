namespace vrq_devices_placeholder {}
