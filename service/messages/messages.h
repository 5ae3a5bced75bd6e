#pragma once

// Every message type of the back office and its send wrapper.
#include "service/messages/container_scan_message.h"
#include "service/messages/count_message.h"
#include "service/messages/delivered_quantity_message.h"
#include "service/messages/employee_message.h"
#include "service/messages/message_kind.h"
#include "service/messages/packing_note_container_message.h"
#include "service/messages/packing_note_line_message.h"
#include "service/messages/packing_note_list_message.h"
#include "service/messages/packing_note_message.h"
#include "service/messages/pool_scan_message.h"
#include "service/messages/print_message.h"
#include "service/messages/process_message.h"
#include "service/messages/route_message.h"
#include "service/messages/settings_message.h"
