namespace vrq_db_placeholder {}
