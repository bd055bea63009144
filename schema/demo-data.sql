-- The demo branch: its identity, so that the main window opens with it filled in.
INSERT INTO Sys_System (HotelID, HotelTreeID, HotelName) VALUES ('01', '0001', '青雁示范分店');
