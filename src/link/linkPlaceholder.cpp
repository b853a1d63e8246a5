namespace vrq_link_placeholder {}
