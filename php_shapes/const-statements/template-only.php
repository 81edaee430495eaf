<?php
// Calendar texts, English.
const CAL_TODAY = 'Today';
const CAL_TOMORROW = "Tomorrow";
const CAL_PREV = 'Previous month', CAL_NEXT = 'Next month';
const CAL_WEEK = 'Week';
const CAL_WEEK_OF = CAL_WEEK . ' of %s';
const CAL_NO_EVENTS = 'No events
on this day';
const   CAL_ADD   =   'Add an event'  ;
define('CAL_DELETE', 'Delete the event');
