namespace vrq_server_placeholder {}
